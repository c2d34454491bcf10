// The hiscore upload: one asynchronous form post with a deadline, answered by a signal.
#include "app/HiscoreClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "app/Addresses.h"

namespace blubbi {

namespace {
constexpr qsizetype kMaxPhraseChars = 60;
}  // namespace

THiscoreClient::THiscoreClient(QObject* parent)
    : QObject(parent),
      Net(new QNetworkAccessManager(this)),
      Deadline(new QTimer(this)),
      Url(QString::fromLatin1(addr::HiscoreUpload)) {
    Deadline->setSingleShot(true);
    connect(Deadline, &QTimer::timeout, this, &THiscoreClient::OnTimeout);
}

THiscoreClient::~THiscoreClient() {
    if (!Reply) return;
    disconnect(Reply, nullptr, this, nullptr);
    Reply->abort();
}

QByteArray THiscoreClient::FormBody(const QString& name, const QString& points) {
    // Everything but the unreserved characters is escaped, so '&', '=', '+' and spaces in a
    // name can never split or change a field.
    return "name=" + QUrl::toPercentEncoding(name) + "&punkte=" + QUrl::toPercentEncoding(points.trimmed());
}

bool THiscoreClient::Post(const QString& name, const QString& points) {
    if (Reply) return false;
    QNetworkRequest request(Url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla/3.0 (compatible)"));
    request.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    TimedOut = false;
    TooLong = false;
    AnswerBytes = 0;
    Reply = Net->post(request, FormBody(name, points));
    Reply->setReadBufferSize(16 * 1024);  // Qt then holds no more of the answer than this
    connect(Reply, &QNetworkReply::readyRead, this, &THiscoreClient::OnReadyRead);
    connect(Reply, &QNetworkReply::finished, this, &THiscoreClient::OnReplyFinished);
    Deadline->start(TimeoutMs);
    return true;
}

void THiscoreClient::OnTimeout() {
    if (!Reply) return;
    TimedOut = true;
    Reply->abort();  // finishes the reply, which reports the timeout
}

void THiscoreClient::OnReadyRead() {
    char buffer[4096];
    while (Reply) {
        const qint64 n = Reply->read(buffer, sizeof buffer);
        if (n <= 0) return;
        AnswerBytes += n;
        if (AnswerBytes > kMaxAnswerBytes) {
            TooLong = true;
            Reply->abort();  // finishes the reply, which reports it
            return;
        }
    }
}

void THiscoreClient::OnReplyFinished() {
    QNetworkReply* reply = Reply;
    Reply = nullptr;
    Deadline->stop();
    reply->deleteLater();

    bool ok = false;
    QString message;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool success = status >= 200 && status < 300;
    if (TimedOut) {
        message = QStringLiteral("Übertragung fehlgeschlagen: Der Server hat nicht rechtzeitig geantwortet.");
    } else if (TooLong) {
        message = QStringLiteral("Übertragung fehlgeschlagen: Die Antwort des Servers ist zu lang.");
    } else if (success && reply->error() == QNetworkReply::NoError) {
        ok = true;
        message = QStringLiteral("Ihre Punkte wurden in die Hiscore-Liste übertragen.");
    } else if (status != 0 && !success) {
        // The reason phrase is the server's own words: shown short and on one line.
        QString phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().simplified();
        if (phrase.size() > kMaxPhraseChars) {
            const qsizetype space = phrase.lastIndexOf(QLatin1Char(' '), kMaxPhraseChars);
            phrase = phrase.left(space > 0 ? space : kMaxPhraseChars) + QStringLiteral(" …");
        }
        message = QStringLiteral("Übertragung fehlgeschlagen: Der Server antwortete mit %1 %2")
                      .arg(status)
                      .arg(phrase)
                      .trimmed() +
                  QLatin1Char('.');
    } else {
        // No answer, or a 2xx that broke off before its end.
        message = QStringLiteral("Übertragung fehlgeschlagen: %1").arg(reply->errorString());
    }
    emit Finished(ok, message);
}

}  // namespace blubbi
