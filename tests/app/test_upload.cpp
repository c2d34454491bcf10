// The hiscore upload against a small HTTP server on 127.0.0.1 that checks what arrives; the local table
// when no server is set.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslServer>
#include <QStatusBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <QUrlQuery>
#include <functional>
#include <map>
#include <optional>

#include "app/Addresses.h"
#include "app/GameOverForm.h"
#include "app/GameRecording.h"
#include "app/HiscoreClient.h"
#include "app/LocalHiscores.h"
#include "app/MainWindow.h"
#include "app/QtPlatform.h"
#include "app/ReplayFiles.h"
#include "base/Gzip.h"
#include "game/MainForm.h"
#include "platform/replay/Replay.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/GameData.h"

using namespace blubbi;
using blubbi::test::WaitFor;

namespace {

// One parsed request as the server saw it.
struct TRequest {
    QByteArray Method, Path, Body;
    std::map<QByteArray, QByteArray> Headers;  // names in lower case
};

// Answers every complete request with `Status` (or never, when Status is 0), or as `Answer`
// writes it. While `Hold` is set, answers wait for Release(). With `tls` it speaks HTTPS with that
// certificate; a connection counts once its handshake succeeded.
class THiscoreServer : public QObject {
public:
    explicit THiscoreServer(int status = 200, const std::optional<QSslConfiguration>& tls = std::nullopt)
        : Status(status), Tls(tls.has_value()) {
        if (tls) {
            auto* secure = new QSslServer(this);
            secure->setSslConfiguration(*tls);
            Server = secure;
        } else {
            Server = new QTcpServer(this);
        }
        EXPECT_TRUE(Server->listen(QHostAddress::LocalHost, 0));
        const auto accept = [this] {
            while (QTcpSocket* s = Server->nextPendingConnection()) {
                ++Connections;
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { Read(s); });
            }
        };
        QObject::connect(Server, &QTcpServer::newConnection, this, accept);
        QObject::connect(Server, &QTcpServer::pendingConnectionAvailable, this, accept);
    }
    // The server's base address, as the player sets it.
    QString Base() const {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(Tls ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(Server->serverPort());
    }
    QUrl Url() const { return QUrl(Base() + QStringLiteral("/api/scores")); }

    void Release() {
        Hold = false;
        for (QTcpSocket* s : Held) Respond(s);
        Held.clear();
    }

    int Status;
    bool Hold = false;
    std::function<void(QTcpSocket*)> Answer;
    int Connections = 0;
    std::vector<TRequest> Requests;

private:
    void Read(QTcpSocket* s) {
        QByteArray& buffer = Buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) return;
        TRequest r;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines[0].trimmed().split(' ');
        r.Method = first.value(0);
        r.Path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) r.Headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        const qsizetype length = r.Headers["content-length"].toLongLong();
        if (buffer.size() < end + 4 + length) return;
        r.Body = buffer.mid(end + 4, length);
        Requests.push_back(r);
        buffer.clear();
        if (Hold)
            Held.push_back(s);
        else
            Respond(s);
    }

    void Respond(QTcpSocket* s) {
        if (Answer) return Answer(s);
        if (Status == 0) return;  // a server that never answers
        const QByteArray text = Status == 200 ? "OK" : "Fehler";
        s->write("HTTP/1.1 " + QByteArray::number(Status) + (Status == 200 ? " OK" : " Internal Server Error") +
                 "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(text.size()) +
                 "\r\nConnection: close\r\n\r\n" + text);
        s->disconnectFromHost();
    }

    bool Tls;
    QTcpServer* Server = nullptr;
    std::map<QTcpSocket*, QByteArray> Buffers;
    std::vector<QTcpSocket*> Held;
};

// The fields of a multipart/form-data body, by name.
std::map<QString, QByteArray> Fields(const TRequest& r) {
    std::map<QString, QByteArray> fields;
    const QByteArray type = r.Headers.at("content-type");
    EXPECT_TRUE(type.startsWith("multipart/form-data")) << type.toStdString();
    QByteArray boundary = type.mid(type.indexOf("boundary=") + 9);
    if (boundary.startsWith('"')) boundary = boundary.mid(1, boundary.size() - 2);
    const QByteArray delimiter = "--" + boundary;
    qsizetype at = r.Body.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype start = at + delimiter.size();
        if (r.Body.mid(start, 2) == "--") break;  // the closing delimiter
        const qsizetype next = r.Body.indexOf("\r\n" + delimiter, start);
        if (next < 0) break;
        const QByteArray part = r.Body.mid(start + 2, next - start - 2);
        const qsizetype headEnd = part.indexOf("\r\n\r\n");
        const QByteArray head = part.left(headEnd);
        const qsizetype nameAt = head.indexOf("name=\"") + 6;
        const QString name = QString::fromUtf8(head.mid(nameAt, head.indexOf('"', nameAt) - nameAt));
        QByteArray value = part.mid(headEnd + 4);
        if (name == QStringLiteral("replay")) {  // it goes packed
            EXPECT_TRUE(IsGzip(value.toStdString()));
            value = QByteArray::fromStdString(Gunzip(value.toStdString(), size_t{1} << 30).value_or("not gzip"));
        }
        fields[name] = value;
        at = next + 2;
    }
    return fields;
}

// While it lives, the game's hiscore server is `base` (through the environment, as a player may set it).
struct TServerChosen {
    explicit TServerChosen(const QString& base) { qputenv(addr::HiscoreServerEnv, base.toUtf8()); }
    ~TServerChosen() { qunsetenv(addr::HiscoreServerEnv); }
};

constexpr char kReplayBytes[] = "BLUBBI\0\x01\r\n--not-a-boundary\r\n\xff";
const QByteArray kReplay(kReplayBytes, sizeof kReplayBytes - 1);

// A game-over dialog that uploads to `server` with kReplay as its game's recording.
void Arm(TGameOverForm& d) {
    d.SetReplayProvider([] { return std::optional<QByteArray>(kReplay); });
}

// A game-over dialog whose server is `base`, with kReplay as its game's recording and `name` typed in.
struct TUploadDialog {
    TUploadDialog(const QString& base, const QString& name) : Chosen(base) {
        Arm(D);
        D.NameEd->setText(name);
    }
    // Clicks "Ins Internet übertragen" and waits for the outcome; false when none came in time.
    bool Upload() {
        D.BitBtn4->click();
        return Done.wait(10000);
    }
    // Whether the finished upload counted as done, and what the dialog shows of it.
    bool Succeeded() const { return Done.at(0).at(0).toBool(); }
    QString Shown() const { return D.UploadLbl->text(); }

    TServerChosen Chosen;
    TGameOverForm D{[](const QString&) {}};
    QSignalSpy Done{D.HttpCli1, &THiscoreClient::Finished};
};

void ForgetLocalTable() { QFile::remove(TLocalHiscores().File()); }

// A TLS server's side with a certificate for 127.0.0.1 that nobody has signed, made anew in `dir`.
QSslConfiguration SelfSignedTls(const QTemporaryDir& dir) {
    const QString key = dir.filePath(QStringLiteral("key.pem")), cert = dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.start(
        QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
         QStringLiteral("-nodes"), QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert,
         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
         QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
    EXPECT_TRUE(openssl.waitForFinished(30000));
    EXPECT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    QFile keyFile(key), certFile(cert);
    EXPECT_TRUE(keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);  // the client shows no certificate
    return tls;
}

}  // namespace

TEST(HiscoreClient, AnyTypedNameAndTheReplayArriveIntact) {
    THiscoreServer server;
    const QString name = QStringLiteral("Jörg & Co = +1% ?#/ \"ß\" 😀\r\n--x");
    THiscoreClient client;
    client.SetUrl(server.Url());
    QSignalSpy done(&client, &THiscoreClient::Finished);
    ASSERT_TRUE(client.Post(name, QStringLiteral(" 4711 "), kReplay));
    ASSERT_TRUE(done.wait(10000));
    ASSERT_EQ(server.Requests.size(), 1u);
    const auto fields = Fields(server.Requests[0]);
    EXPECT_EQ(fields.size(), 3u);
    EXPECT_EQ(QString::fromUtf8(fields.at(QStringLiteral("name"))), name);
    EXPECT_EQ(fields.at(QStringLiteral("punkte")), "4711");
    EXPECT_EQ(fields.at(QStringLiteral("replay")), kReplay);
}

// A server whose certificate this machine does not trust gets nothing: not the name, not the points.
TEST(HiscoreClient, TlsCertificatesAreVerified) {
    QTemporaryDir dir;
    const QSslConfiguration tls = SelfSignedTls(dir);
    ASSERT_FALSE(tls.localCertificate().isNull());
    THiscoreServer server(200, tls);
    {
        THiscoreClient client;
        client.SetUrl(server.Url());
        QSignalSpy done(&client, &THiscoreClient::Finished);
        ASSERT_TRUE(client.Post(QStringLiteral("Geheim"), QStringLiteral("1"), kReplay));
        ASSERT_TRUE(done.wait(10000));
        EXPECT_FALSE(done.at(0).at(0).toBool());
        EXPECT_TRUE(done.at(0).at(1).toString().startsWith(QStringLiteral("Übertragung fehlgeschlagen: ")));
        EXPECT_EQ(server.Connections, 0);
        EXPECT_TRUE(server.Requests.empty());
    }
    // The same server once its certificate is trusted takes the score: the refusal was the certificate's.
    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = before;
    trusting.addCaCertificate(tls.localCertificate());
    QSslConfiguration::setDefaultConfiguration(trusting);
    THiscoreClient client;
    client.SetUrl(server.Url());
    QSignalSpy done(&client, &THiscoreClient::Finished);
    ASSERT_TRUE(client.Post(QStringLiteral("Geheim"), QStringLiteral("1"), kReplay));
    const bool finished = done.wait(10000);
    QSslConfiguration::setDefaultConfiguration(before);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(done.at(0).at(0).toBool()) << done.at(0).at(1).toString().toStdString();
    EXPECT_EQ(server.Requests.size(), 1u);
}

// An entry without a place says why in the server's few words, whole, not its long reason again.
TEST(HiscoreUpload, AnEntryWithoutAPlaceSaysWhyInAFewWords) {
    bool ok = false;
    const QString shown = THiscoreClient::Verdict(
        201, R"({"id":7,"rank":null,"ranked":false,"note":"Level-Editor benutzt","reason":"Geprüft und ohne Platz"})",
        QString(), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(shown, QStringLiteral("Eingetragen, aber ohne Platz in der Hiscore-Liste (Level-Editor benutzt)."));
    TGameOverForm d([](const QString&) {});
    const QRect room = d.UploadLbl->contentsRect();
    EXPECT_LE(d.UploadLbl->fontMetrics().boundingRect(room, Qt::TextWordWrap, shown).height(), room.height())
        << "the line is cut off";
}

TEST(HiscoreUpload, PostsNameAndPointsAndReplayAndShowsTheRank) {
    THiscoreServer server;
    server.Answer = [](QTcpSocket* s) {
        const QByteArray json = R"({"id":7,"rank":3,"verified":true,"ranked":true,"duplicate":false,"reason":""})";
        s->write("HTTP/1.1 201 Created\r\nContent-Type: application/json\r\nContent-Length: " +
                 QByteArray::number(json.size()) + "\r\nConnection: close\r\n\r\n" + json);
        s->disconnectFromHost();
    };
    TUploadDialog u(server.Base(), QStringLiteral("Anna-Lena Müller"));
    TGameOverForm& d = u.D;
    d.SetPoints(QStringLiteral("1230"), 4);
    d.show();
    d.BitBtn4->click();
    EXPECT_FALSE(d.BitBtn4->isEnabled());
    EXPECT_FALSE(d.UploadLbl->text().isEmpty());
    ASSERT_TRUE(u.Done.wait(10000));
    EXPECT_TRUE(u.Succeeded());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.BitBtn4->isEnabled());  // these points are in the list now
    EXPECT_EQ(u.Shown(), QStringLiteral("Geprüft und eingetragen: Platz 3 der Hiscore-Liste."));

    ASSERT_EQ(server.Requests.size(), 1u);
    const TRequest& r = server.Requests[0];
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Path, "/api/scores");
    EXPECT_EQ(r.Headers.at("user-agent"), "Mozilla/3.0 (compatible)");
    const auto fields = Fields(r);
    EXPECT_EQ(fields.size(), 3u);
    EXPECT_EQ(QString::fromUtf8(fields.at(QStringLiteral("name"))), QStringLiteral("Anna-Lena Müller"));
    EXPECT_EQ(fields.at(QStringLiteral("punkte")), "1230");
    EXPECT_EQ(fields.at(QStringLiteral("replay")), kReplay);
}

// A refusal is the server's word on this recording: shown as text, and not sent again.
TEST(HiscoreUpload, ARefusalShowsTheServersReasonAsText) {
    THiscoreServer server;
    const QString reason = QStringLiteral("<b>Die Punkte</b> stimmen nicht mit der Aufzeichnung überein.");
    server.Answer = [&](QTcpSocket* s) {
        const QByteArray json = R"({"reason":")" + reason.toUtf8() + R"("})";
        s->write("HTTP/1.1 422 Unprocessable Entity\r\nContent-Type: application/json\r\nContent-Length: " +
                 QByteArray::number(json.size()) + "\r\nConnection: close\r\n\r\n" + json);
        s->disconnectFromHost();
    };
    TUploadDialog u(server.Base(), QStringLiteral("Fälscher"));
    u.D.SetPoints(QStringLiteral("999999"));
    ASSERT_TRUE(u.Upload());
    EXPECT_FALSE(u.Succeeded());
    EXPECT_EQ(u.D.UploadLbl->textFormat(), Qt::PlainText);
    EXPECT_EQ(u.Shown(), QStringLiteral("Der Server hat die Punkte abgelehnt: ") + reason);
    EXPECT_FALSE(u.D.BitBtn4->isEnabled());
}

// Without a server the game's points go into the table on this computer, and nothing is sent.
TEST(HiscoreUpload, WithoutAServerScoresStayLocal) {
    ForgetLocalTable();
    THiscoreServer server;
    TGameOverForm d([](const QString&) {});
    Arm(d);
    EXPECT_TRUE(d.HttpCli1->GetUrl().isEmpty());
    d.NameEd->setText(QStringLiteral("Zuhause"));
    d.SetPoints(QStringLiteral("420"), 3);
    d.BitBtn4->click();
    EXPECT_EQ(d.UploadLbl->text(),
              QStringLiteral("Kein Hiscore-Server eingestellt: Platz 1 der lokalen Hiscore-Liste."));
    EXPECT_FALSE(d.BitBtn4->isEnabled());
    const auto entries = TLocalHiscores().Load();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, QStringLiteral("Zuhause"));
    EXPECT_EQ(entries[0].Points, 420);
    EXPECT_EQ(entries[0].Level, 3);
    EXPECT_LT(entries[0].Date.secsTo(QDateTime::currentDateTime()), 60);
    QTest::qWait(100);
    EXPECT_EQ(server.Connections, 0);

    // "Hiscoreliste anschauen" shows that table.
    blubbi::test::TUrlCatcher urls({"http", "https", "file"});
    QStringList row;
    auto run = blubbi::test::WhileModal([&] { d.BitBtn3->click(); },
                                        [&](QWidget* modal) {
                                            auto* grid = modal->findChild<QTableWidget*>();
                                            ASSERT_NE(grid, nullptr);
                                            ASSERT_EQ(grid->rowCount(), 1);
                                            for (int c = 0; c < 3; ++c) row << grid->item(0, c)->text();
                                            qobject_cast<QDialog*>(modal)->accept();
                                        });
    EXPECT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_EQ(row, QStringList({QStringLiteral("Zuhause"), QStringLiteral("420"), QStringLiteral("3")}));
    EXPECT_TRUE(urls.Opened.empty());
}

TEST(HiscoreUpload, AGameWithoutRecordingIsEnteredLocally) {
    ForgetLocalTable();
    THiscoreServer server;
    TServerChosen chosen(server.Base());
    TGameOverForm d([](const QString&) {});
    d.SetReplayProvider([] { return std::optional<QByteArray>(); });
    d.NameEd->setText(QStringLiteral("Ohne"));
    d.SetPoints(QStringLiteral("10"));
    d.BitBtn4->click();
    EXPECT_EQ(d.UploadLbl->text(),
              QStringLiteral("Von diesem Spiel gibt es keine Aufzeichnung: Platz 1 der lokalen Hiscore-Liste."));
    EXPECT_EQ(TLocalHiscores().Load().size(), 1u);
    QTest::qWait(100);
    EXPECT_EQ(server.Connections, 0);
}

TEST(HiscoreUpload, WithAServerTheListPageIsTheServers) {
    QString opened;
    TServerChosen chosen(QStringLiteral("http://127.0.0.1:8080/spiele"));
    TGameOverForm d([&](const QString& a) { opened = a; });
    d.BitBtn3->click();
    EXPECT_EQ(opened, QStringLiteral("http://127.0.0.1:8080/spiele/showhi.php"));
}

TEST(HiscoreSettings, TheEnvironmentOverridesTheSettingAndBadAddressesCountAsNone) {
    addr::SetHiscoreServer(QStringLiteral("http://127.0.0.1:1/"));
    EXPECT_EQ(addr::HiscoreServer(), QUrl(QStringLiteral("http://127.0.0.1:1/")));
    {
        QFile stored(addr::SettingsFile());  // on the disk, for the next start
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_TRUE(stored.readAll().contains("http://127.0.0.1:1/"));
    }
    {
        TServerChosen chosen(QStringLiteral("http://127.0.0.1:2"));
        EXPECT_EQ(addr::HiscoreServer(), QUrl(QStringLiteral("http://127.0.0.1:2/")));
        EXPECT_EQ(addr::HiscoreUploadUrl(addr::HiscoreServer()), QUrl(QStringLiteral("http://127.0.0.1:2/api/scores")));
    }
    for (const char* bad : {"ftp://127.0.0.1/", "127.0.0.1:8080", "http://", "javascript:alert(1)"}) {
        EXPECT_FALSE(addr::IsServerAddress(QString::fromLatin1(bad))) << bad;
        TServerChosen chosen(QString::fromLatin1(bad));
        EXPECT_TRUE(addr::HiscoreServer().isEmpty()) << bad;
    }
    addr::SetHiscoreServer(QString());
    EXPECT_TRUE(addr::HiscoreServer().isEmpty());
}

TEST(HiscoreSettings, ADamagedSettingsFileMeansNoServer) {
    const QString file = addr::SettingsFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        static const char damaged[] = "[hiscore\nserver=\x01\xff\xfe\0[[[\n=\n";
        f.write(QByteArray(damaged, sizeof damaged - 1));
    }
    EXPECT_TRUE(addr::HiscoreServer().isEmpty());
    EXPECT_TRUE(addr::HomePage().isEmpty());
    QFile::remove(file);
}

TEST(HiscoreUpload, OneGameIsPostedOnceAndNotTwiceAtATime) {
    THiscoreServer server;
    TGameOverForm d([](const QString&) {});
    TServerChosen chosen(server.Base());
    Arm(d);
    d.SetPoints(QStringLiteral("5"));
    d.NameEd->setText(QStringLiteral("Zweimal"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4Click();
    d.BitBtn4Click();
    EXPECT_FALSE(d.HttpCli1->Post(QStringLiteral("x"), QStringLiteral("1"), kReplay));
    ASSERT_TRUE(done.wait(10000));
    QTest::qWait(200);  // room for a second request, should one have been sent
    EXPECT_EQ(done.size(), 1);
    EXPECT_EQ(server.Requests.size(), 1u);
    EXPECT_EQ(server.Connections, 1);
    // The same game's points are in the list: nothing more is sent for them.
    EXPECT_FALSE(d.BitBtn4->isEnabled());
    d.BitBtn4Click();
    QTest::qWait(200);
    EXPECT_EQ(server.Requests.size(), 1u);
    EXPECT_FALSE(d.HttpCli1->Busy());
    // The next game over sends again.
    d.SetPoints(QStringLiteral("8"));
    EXPECT_TRUE(d.BitBtn4->isEnabled());
    EXPECT_TRUE(d.UploadLbl->text().isEmpty());
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    ASSERT_EQ(server.Requests.size(), 2u);
    EXPECT_EQ(Fields(server.Requests[1]).at(QStringLiteral("punkte")), "8");
}

TEST(HiscoreUpload, ServerErrorIsShownWithItsStatus) {
    THiscoreServer server(500);
    TUploadDialog u(server.Base(), QStringLiteral("Tester"));
    ASSERT_TRUE(u.Upload());
    EXPECT_FALSE(u.Succeeded());
    EXPECT_TRUE(u.Shown().startsWith(QStringLiteral("Übertragung fehlgeschlagen")));
    EXPECT_TRUE(u.Shown().contains(QStringLiteral("500")));
}

TEST(HiscoreUpload, MarkupFromTheServerIsShownAsText) {
    THiscoreServer server;
    const QByteArray phrase = "<font size=5>Wartung</font><img src=\"file:///etc/passwd\">";
    server.Answer = [&](QTcpSocket* s) {
        s->write("HTTP/1.1 503 " + phrase + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        s->disconnectFromHost();
    };
    TUploadDialog u(server.Base(), QStringLiteral("<b>Tester</b>"));
    ASSERT_TRUE(u.Upload());
    EXPECT_FALSE(u.Succeeded());
    EXPECT_EQ(u.D.UploadLbl->textFormat(), Qt::PlainText);
    EXPECT_TRUE(u.Shown().contains(QString::fromLatin1(phrase))) << u.Shown().toStdString();
}

// A 2xx counts only when the whole answer arrived.
TEST(HiscoreUpload, AnAnswerCutOffAfterThreeBytesFails) {
    THiscoreServer server;
    server.Answer = [](QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\nabc");
        s->disconnectFromHost();
    };
    TUploadDialog u(server.Base(), QStringLiteral("Tester"));
    ASSERT_TRUE(u.Upload());
    EXPECT_FALSE(u.Succeeded());
    EXPECT_TRUE(u.Shown().startsWith(QStringLiteral("Übertragung fehlgeschlagen: "))) << u.Shown().toStdString();
    EXPECT_TRUE(u.D.BitBtn4->isEnabled());  // it may be tried again
}

// An answer without end is read only up to the cap, long before the deadline.
TEST(HiscoreUpload, AnEndlessAnswerIsDroppedAtItsCap) {
    THiscoreServer server;
    qint64 sent = 0;
    server.Answer = [&](QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        auto more = [s, &sent] {
            if (s->state() != QAbstractSocket::ConnectedState || s->bytesToWrite() > 0) return;
            sent += s->write(QByteArray(64 * 1024, 'x'));
        };
        QObject::connect(s, &QTcpSocket::bytesWritten, s, more);
        more();
    };
    THiscoreClient client;
    client.SetUrl(server.Url());
    client.SetTimeout(60000);
    QSignalSpy done(&client, &THiscoreClient::Finished);
    ASSERT_TRUE(client.Post(QStringLiteral("Tester"), QStringLiteral("1"), kReplay));
    ASSERT_TRUE(done.wait(20000)) << "ran on to the deadline";
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_EQ(done.at(0).at(1).toString(),
              QStringLiteral("Übertragung fehlgeschlagen: Die Antwort des Servers ist zu lang."));
    EXPECT_GT(sent, THiscoreClient::kMaxAnswerBytes);
}

TEST(HiscoreUpload, ALongOutcomeWrapsAtWordsAndFitsItsLines) {
    THiscoreServer server;
    server.Hold = true;
    TGameOverForm d([](const QString&) {});
    TServerChosen chosen(server.Base());
    Arm(d);
    d.NameEd->setText(QStringLiteral("Tester"));
    d.BitBtn4->click();
    // The outcome of this upload, as long as anything a server or the network says may make it.
    QString message = QStringLiteral("Übertragung fehlgeschlagen:");
    for (int i = 0; i < 40; ++i) message += QStringLiteral(" Wort%1").arg(i);
    message += QStringLiteral(" <b>x</b> ") + QString(200, QLatin1Char('x'));  // one word wider than the line
    emit d.HttpCli1->Finished(false, message);
    QLabel* l = d.UploadLbl;
    EXPECT_TRUE(l->wordWrap());
    EXPECT_LE(l->heightForWidth(l->width()), l->height());
    const QStringList shown = l->text().split(QLatin1Char(' '));
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.last(), QStringLiteral("…"));
    const QStringList words = message.split(QLatin1Char(' '));
    for (qsizetype i = 0; i + 1 < shown.size(); ++i) EXPECT_EQ(shown[i], words[i]);   // whole words only
    EXPECT_EQ(QTextDocumentFragment::fromHtml(l->toolTip()).toPlainText(), message);  // the whole, as text

    // A single word wider than the line loses its middle rather than its end.
    emit d.HttpCli1->Finished(false, QStringLiteral("Fehler: ") + QString(300, QLatin1Char('y')) + QStringLiteral("z"));
    for (const QString& word : l->text().split(QLatin1Char(' ')))
        EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(word), l->contentsRect().width());
    EXPECT_TRUE(l->text().startsWith(QStringLiteral("Fehler: yyy")));
    EXPECT_TRUE(l->text().endsWith(QStringLiteral("yyz")));
    EXPECT_LE(l->heightForWidth(l->width()), l->height());
}

TEST(HiscoreUpload, RefusedConnectionIsReported) {
    quint16 port = 0;
    {
        QTcpServer probe;  // a port that was free a moment ago and now has no listener
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TUploadDialog u(QStringLiteral("http://127.0.0.1:%1").arg(port), QStringLiteral("Tester"));
    ASSERT_TRUE(u.Upload());
    EXPECT_FALSE(u.Succeeded());
    EXPECT_TRUE(u.Shown().startsWith(QStringLiteral("Übertragung fehlgeschlagen: ")));
    EXPECT_GT(u.Shown().size(), QStringLiteral("Übertragung fehlgeschlagen: ").size());
    EXPECT_TRUE(u.D.BitBtn4->isEnabled());
}

TEST(HiscoreUpload, SilentServerRunsIntoTheTimeout) {
    THiscoreServer server(0);
    TUploadDialog u(server.Base(), QStringLiteral("Tester"));
    u.D.HttpCli1->SetTimeout(300);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(u.Upload());
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(u.Succeeded());
    EXPECT_EQ(server.Requests.size(), 1u);  // it arrived, but no answer came
    EXPECT_EQ(u.Shown(), QStringLiteral("Übertragung fehlgeschlagen: Der Server hat nicht rechtzeitig geantwortet."));
    EXPECT_TRUE(u.D.BitBtn4->isEnabled());
    EXPECT_FALSE(u.D.HttpCli1->Busy());
}

TEST(HiscoreUpload, WithoutANameNothingIsSent) {
    THiscoreServer server;
    TGameOverForm d([](const QString&) {});
    TServerChosen chosen(server.Base());
    Arm(d);
    d.NameEd->setText(QStringLiteral("   "));
    d.SetPoints(QStringLiteral("99"));
    d.BitBtn4->click();
    EXPECT_FALSE(d.HttpCli1->Busy());
    EXPECT_EQ(d.UploadLbl->text(), QStringLiteral("Bitte geben Sie zuerst Ihren Namen ein."));
    QTest::qWait(200);
    EXPECT_EQ(server.Connections, 0);
    EXPECT_TRUE(d.BitBtn4->isEnabled());
}

// An upload that ends after the dialog was closed tells its outcome in the main window.
TEST(HiscoreUpload, AnOutcomeAfterTheDialogClosedReachesTheStatusBar) {
    THiscoreServer server;
    server.Hold = true;
    TMainWindow window;
    window.CreateForms();
    TGameOverForm* d = window.GameOverForm;
    TServerChosen chosen(server.Base());
    Arm(*d);
    d->NameEd->setText(QStringLiteral("Spät"));
    const auto run = blubbi::test::WhileModal([&] { window.Platform().ShowGameOverDialog("77"); },
                                              [&](QWidget*) {
                                                  d->BitBtn4->click();
                                                  EXPECT_TRUE(WaitFor([&] { return !server.Requests.empty(); }));
                                                  d->BitBtn2->click();
                                              });
    ASSERT_TRUE(run.Acted && !run.TimedOut);
    EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());
    server.Release();
    EXPECT_TRUE(WaitFor([&] {
        return window.statusBar()->currentMessage().contains(
            QStringLiteral("Ihre Punkte wurden in die Hiscore-Liste übertragen."));
    }));
}

TEST(HiscoreUpload, ClosingTheProgramDuringAnUploadIsSafe) {
    THiscoreServer server(0);
    bool finished = false;
    {
        THiscoreClient client;
        client.SetUrl(server.Url());
        QObject::connect(&client, &THiscoreClient::Finished, [&] { finished = true; });
        ASSERT_TRUE(client.Post(QStringLiteral("Eilig"), QStringLiteral("1"), kReplay));
        EXPECT_TRUE(WaitFor([&] { return !server.Requests.empty(); }, 5000));
    }
    QTest::qWait(50);
    EXPECT_FALSE(finished);
}

TEST(LocalHiscores, KeepsTheBestTenSortedAcrossReloadsAndSurvivesDamage) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sub/hiscores.json"));
    const QDateTime when(QDate(2024, 5, 17), QTime(20, 15));
    const int points[] = {50, 10, 90, 30, 70, 20, 100, 60, 40, 80, 5, 65};
    // Each entry through a fresh table object, so every step reads what the last one wrote.
    std::vector<int> places;
    for (int i = 0; i < 12; ++i) {
        bool saved = false;
        places.push_back(TLocalHiscores(file).Enter(
            {QStringLiteral("Spieler %1").arg(i), points[i], i % 5 + 1, when.addSecs(i)}, &saved));
        EXPECT_TRUE(saved || places.back() == 0) << i;
    }
    EXPECT_EQ(places, (std::vector<int>{1, 2, 1, 3, 2, 5, 1, 4, 6, 3, 0, 5}));
    const auto entries = TLocalHiscores(file).Load();
    ASSERT_EQ(entries.size(), 10u);
    const qint64 best[] = {100, 90, 80, 70, 65, 60, 50, 40, 30, 20};
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(entries[i].Points, best[i]) << i;
    EXPECT_EQ(entries[0].Name, QStringLiteral("Spieler 6"));
    EXPECT_EQ(entries[0].Level, 2);
    EXPECT_EQ(entries[0].Date, when.addSecs(6));
    // Equal points: the older game stays ahead.
    EXPECT_EQ(TLocalHiscores(file).Enter({QStringLiteral("Später"), 65, 1, when}), 6);

    // A damaged file is an empty table, and the next game replaces it.
    for (const QByteArray& junk : {QByteArray("{\"scores\":[{\"name\":"), QByteArray(70 * 1024, '['),
                                   QByteArray(R"({"scores":[{"name":"","points":5},{"name":"x","points":-1},7]})")}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(junk);
        f.close();
        EXPECT_TRUE(TLocalHiscores(file).Load().empty());
    }
    EXPECT_EQ(TLocalHiscores(file).Enter({QStringLiteral("Neu"), 1, 1, when}), 1);
    EXPECT_EQ(TLocalHiscores(file).Load().size(), 1u);
}

// A game lost in the window goes up with its replay to the game-over dialog, which a check plays to
// that game over with the points the dialog showed; the folder gets the game as it was answered.
TEST(HiscoreUpload, ALostGameIsSentWithItsReplay) {
    test::TGameData data;
    if (!data.Ready) GTEST_SKIP() << "the pictures and levels are not built";
    ForgetLocalTable();
    THiscoreServer server;
    TServerChosen chosen(server.Base());
    QDir(replays::Folder()).removeRecursively();
    TMainWindow window(nullptr, data.Path());
    window.CreateForms();
    window.Timer1->stop();
    // The frames come faster than real time, each with the clock a frame later.
    uint32_t clock = window.Platform().GetTickCount();
    auto send = [&](TEventKind kind, int32_t a = 0) {
        TEvent e = MakeEvent(kind, a);
        e.Clock = clock;
        window.Platform().Sink(e);
    };
    QString shown;
    bool over = false;
    const auto run = blubbi::test::WhileModal(
        [&] {
            // Into level 1's walker, three times; the other way and back when the game's dice keep it away.
            for (int i = 0; i < 4500 && !over; ++i) {
                if (i % 1500 == 0) {
                    const bool right = i % 3000 == 0;
                    if (i > 0) send(TEventKind::KeyUp, right ? VK_LEFT : VK_RIGHT);
                    send(TEventKind::KeyDown, right ? VK_RIGHT : VK_LEFT);
                }
                clock += 25;
                send(TEventKind::Tick);
            }
        },
        [&](QWidget* modal) {
            auto* d = qobject_cast<TGameOverForm*>(modal);
            ASSERT_NE(d, nullptr);
            over = true;
            shown = d->PunkteEd->text();
            d->NameEd->setText(QStringLiteral("Verlierer"));
            QSignalSpy done(d->HttpCli1, &THiscoreClient::Finished);
            d->BitBtn4->click();
            EXPECT_TRUE(done.wait(10000));
            d->BitBtn1->click();  // a new game
        },
        30000);
    ASSERT_TRUE(run.Acted && !run.TimedOut);
    ASSERT_EQ(server.Requests.size(), 1u);
    const QByteArray sent = Fields(server.Requests[0]).at(QStringLiteral("replay"));
    TVerifyResult r = VerifyReplay(sent.toStdString(), data.Path().toStdString(), TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_TRUE(r.EndedInGameOver);
    EXPECT_EQ(r.GameOvers, 1);
    EXPECT_EQ(QString::fromStdString(r.GameOverPoints), shown);

    const QString stored = window.Recording().LastStored();
    ASSERT_TRUE(stored.endsWith(QStringLiteral("_%1-Punkte.blubbi-replay").arg(shown))) << stored.toStdString();
    QFile file(stored);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    r = VerifyReplay(file.readAll().toStdString(), data.Path().toStdString(), TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_TRUE(r.EndedInGameOver);
}
