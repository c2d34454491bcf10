// The hiscore upload against a small HTTP server on 127.0.0.1 that checks what arrives.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextDocumentFragment>
#include <QUrlQuery>
#include <functional>
#include <map>

#include "app/GameOverForm.h"
#include "app/HiscoreClient.h"
#include "app/MainWindow.h"
#include "app/QtPlatform.h"
#include "tests/app/AppTestSupport.h"

using namespace blubbi;
using blubbi::test::WaitFor;

namespace {

// One parsed request as the server saw it.
struct TRequest {
    QByteArray Method, Path, Body;
    std::map<QByteArray, QByteArray> Headers;  // names in lower case
};

// Answers every complete request with `Status` (or never, when Status is 0), or as `Answer`
// writes it. While `Hold` is set, answers wait for Release().
class THiscoreServer : public QObject {
public:
    explicit THiscoreServer(int status = 200) : Status(status) {
        EXPECT_TRUE(Server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = Server.nextPendingConnection()) {
                ++Connections;
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { Read(s); });
            }
        });
    }
    QUrl Url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/blubbi/inshi.php").arg(Server.serverPort())); }

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

    QTcpServer Server;
    std::map<QTcpSocket*, QByteArray> Buffers;
    std::vector<QTcpSocket*> Held;
};

std::map<QString, QString> Fields(const QByteArray& body) {
    std::map<QString, QString> fields;
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        EXPECT_GT(eq, 0) << pair.toStdString();
        fields[QString::fromLatin1(pair.left(eq))] = QUrl::fromPercentEncoding(pair.mid(eq + 1));
    }
    return fields;
}

}  // namespace

TEST(HiscoreClient, FormBodyKeepsAnyTypedNameIntact) {
    const QString name = QStringLiteral("Jörg & Co = +1% ?#/ \"ß\" 😀");
    const QByteArray body = THiscoreClient::FormBody(name, QStringLiteral(" 4711 "));
    for (char c : QByteArray(" +\"#?/")) EXPECT_EQ(body.indexOf(c), -1) << "unescaped " << c;
    EXPECT_EQ(body.count('&'), 1);
    EXPECT_EQ(body.count('='), 2);
    const auto fields = Fields(body);
    EXPECT_EQ(fields.at(QStringLiteral("name")), name);
    EXPECT_EQ(fields.at(QStringLiteral("punkte")), QStringLiteral("4711"));
    EXPECT_TRUE(body.startsWith("name=J%C3%B6rg%20%26%20Co%20%3D%20%2B1%25"));
}

TEST(HiscoreUpload, PostsNameAndPointsAndShowsSuccess) {
    THiscoreServer server;
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
    d.NameEd->setText(QStringLiteral("Anna-Lena Müller"));
    d.SetPoints(QStringLiteral("1230"));
    d.show();
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4->click();
    EXPECT_FALSE(d.BitBtn4->isEnabled());
    EXPECT_FALSE(d.UploadLbl->text().isEmpty());
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(done.at(0).at(0).toBool());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.BitBtn4->isEnabled());  // these points are in the list now
    EXPECT_EQ(d.UploadLbl->text(), QStringLiteral("Ihre Punkte wurden in die Hiscore-Liste übertragen."));

    ASSERT_EQ(server.Requests.size(), 1u);
    const TRequest& r = server.Requests[0];
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Path, "/blubbi/inshi.php");
    EXPECT_EQ(r.Headers.at("user-agent"), "Mozilla/3.0 (compatible)");
    EXPECT_EQ(r.Headers.at("accept"), "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    EXPECT_EQ(r.Headers.at("content-type"), "application/x-www-form-urlencoded");
    const auto fields = Fields(r.Body);
    EXPECT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields.at(QStringLiteral("name")), QStringLiteral("Anna-Lena Müller"));
    EXPECT_EQ(fields.at(QStringLiteral("punkte")), QStringLiteral("1230"));
}

TEST(HiscoreUpload, OneGameIsPostedOnceAndNotTwiceAtATime) {
    THiscoreServer server;
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
    d.SetPoints(QStringLiteral("5"));
    d.NameEd->setText(QStringLiteral("Zweimal"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4Click();
    d.BitBtn4Click();
    EXPECT_FALSE(d.HttpCli1->Post(QStringLiteral("x"), QStringLiteral("1")));
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
    EXPECT_EQ(Fields(server.Requests[1].Body).at(QStringLiteral("punkte")), QStringLiteral("8"));
}

TEST(HiscoreUpload, ServerErrorIsShownWithItsStatus) {
    THiscoreServer server(500);
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
    d.NameEd->setText(QStringLiteral("Tester"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_TRUE(d.UploadLbl->text().startsWith(QStringLiteral("Übertragung fehlgeschlagen")));
    EXPECT_TRUE(d.UploadLbl->text().contains(QStringLiteral("500")));
}

TEST(HiscoreUpload, MarkupFromTheServerIsShownAsText) {
    THiscoreServer server;
    const QByteArray phrase = "<font size=5>Wartung</font><img src=\"file:///etc/passwd\">";
    server.Answer = [&](QTcpSocket* s) {
        s->write("HTTP/1.1 503 " + phrase + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        s->disconnectFromHost();
    };
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
    d.NameEd->setText(QStringLiteral("<b>Tester</b>"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_EQ(d.UploadLbl->textFormat(), Qt::PlainText);
    EXPECT_TRUE(d.UploadLbl->text().contains(QString::fromLatin1(phrase))) << d.UploadLbl->text().toStdString();
}

// A 2xx counts only when the whole answer arrived.
TEST(HiscoreUpload, AnAnswerCutOffAfterThreeBytesFails) {
    THiscoreServer server;
    server.Answer = [](QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\nabc");
        s->disconnectFromHost();
    };
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
    d.NameEd->setText(QStringLiteral("Tester"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_TRUE(d.UploadLbl->text().startsWith(QStringLiteral("Übertragung fehlgeschlagen: ")))
        << d.UploadLbl->text().toStdString();
    EXPECT_TRUE(d.BitBtn4->isEnabled());  // it may be tried again
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
    ASSERT_TRUE(client.Post(QStringLiteral("Tester"), QStringLiteral("1")));
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
    d.HttpCli1->SetUrl(server.Url());
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
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(QUrl(QStringLiteral("http://127.0.0.1:%1/blubbi/inshi.php").arg(port)));
    d.NameEd->setText(QStringLiteral("Tester"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_TRUE(d.UploadLbl->text().startsWith(QStringLiteral("Übertragung fehlgeschlagen: ")));
    EXPECT_GT(d.UploadLbl->text().size(), QStringLiteral("Übertragung fehlgeschlagen: ").size());
    EXPECT_TRUE(d.BitBtn4->isEnabled());
}

TEST(HiscoreUpload, SilentServerRunsIntoTheTimeout) {
    THiscoreServer server(0);
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
    d.HttpCli1->SetTimeout(300);
    d.NameEd->setText(QStringLiteral("Tester"));
    QSignalSpy done(d.HttpCli1, &THiscoreClient::Finished);
    QElapsedTimer clock;
    clock.start();
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_EQ(server.Requests.size(), 1u);  // it arrived, but no answer came
    EXPECT_EQ(d.UploadLbl->text(),
              QStringLiteral("Übertragung fehlgeschlagen: Der Server hat nicht rechtzeitig geantwortet."));
    EXPECT_TRUE(d.BitBtn4->isEnabled());
    EXPECT_FALSE(d.HttpCli1->Busy());
}

TEST(HiscoreUpload, DefaultAddressIsTheProjectsService) {
    THiscoreClient client;
    EXPECT_EQ(client.GetUrl(), QUrl(QStringLiteral("https://www.velkor.de/blubbi/inshi.php")));
}

TEST(HiscoreUpload, WithoutANameNothingIsSent) {
    THiscoreServer server;
    TGameOverForm d([](const QString&) {});
    d.HttpCli1->SetUrl(server.Url());
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
    d->HttpCli1->SetUrl(server.Url());
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
        ASSERT_TRUE(client.Post(QStringLiteral("Eilig"), QStringLiteral("1")));
        EXPECT_TRUE(WaitFor([&] { return !server.Requests.empty(); }, 5000));
    }
    QTest::qWait(50);
    EXPECT_FALSE(finished);
}
