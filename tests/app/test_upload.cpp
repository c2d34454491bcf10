// The hiscore upload against a small HTTP server on 127.0.0.1 that checks what arrives.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>
#include <map>

#include "app/GameOverForm.h"
#include "app/HiscoreClient.h"
#include "tests/app/AppTestSupport.h"

using namespace blubbi;
using blubbi::test::WaitFor;

namespace {

// One parsed request as the server saw it.
struct TRequest {
    QByteArray Method, Path, Body;
    std::map<QByteArray, QByteArray> Headers;  // names in lower case
};

// Answers every complete request with `Status` (or never, when Status is 0).
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

    int Status;
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
        if (Status == 0) return;  // a server that never answers
        const QByteArray text = Status == 200 ? "OK" : "Fehler";
        s->write("HTTP/1.1 " + QByteArray::number(Status) + (Status == 200 ? " OK" : " Internal Server Error") +
                 "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(text.size()) +
                 "\r\nConnection: close\r\n\r\n" + text);
        s->disconnectFromHost();
    }

    QTcpServer Server;
    std::map<QTcpSocket*, QByteArray> Buffers;
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
    EXPECT_TRUE(d.BitBtn4->isEnabled());
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

TEST(HiscoreUpload, SecondClickWhileRunningSendsNothing) {
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
    // Once it is over, the next click sends again.
    d.BitBtn4->click();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(server.Requests.size(), 2u);
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
