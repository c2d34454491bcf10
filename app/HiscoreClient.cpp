// The hiscore upload: one asynchronous multipart post with a deadline and a capped answer, answered by a signal.
#include "app/HiscoreClient.h"

#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "base/Gzip.h"

namespace blubbi {

namespace {
constexpr qsizetype kMaxPhraseChars = 60;
constexpr qsizetype kMaxReasonChars = 300;

// Words of the server's, shown short and on one line.
QString Shortened(const QString& text, qsizetype limit) {
    QString s = text.simplified();
    if (s.size() <= limit) return s;
    const qsizetype space = s.lastIndexOf(QLatin1Char(' '), limit);
    return s.left(space > 0 ? space : limit) + QStringLiteral(" …");
}

QHttpPart Field(const QByteArray& name, const QByteArray& value, const QByteArray& fileName = {}) {
    QHttpPart part;
    QByteArray disposition = "form-data; name=\"" + name + '"';
    if (!fileName.isEmpty()) disposition += "; filename=\"" + fileName + '"';
    part.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
    part.setHeader(QNetworkRequest::ContentTypeHeader, fileName.isEmpty()
                                                           ? QByteArrayLiteral("text/plain; charset=utf-8")
                                                           : QByteArrayLiteral("application/octet-stream"));
    part.setBody(value);
    return part;
}
}  // namespace

THiscoreClient::THiscoreClient(QObject* parent)
    : QObject(parent), Net(new QNetworkAccessManager(this)), Deadline(new QTimer(this)) {
    Deadline->setSingleShot(true);
    connect(Deadline, &QTimer::timeout, this, &THiscoreClient::OnTimeout);
}

THiscoreClient::~THiscoreClient() {
    if (!Reply) return;
    disconnect(Reply, nullptr, this, nullptr);
    Reply->abort();
}

bool THiscoreClient::Post(const QString& name, const QString& points, const QByteArray& replay) {
    if (Reply || !Url.isValid() || Url.isEmpty()) return false;
    QNetworkRequest request(Url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla/3.0 (compatible)"));
    request.setRawHeader("Accept", "application/json, */*");
    // Name and points go as text fields, so nothing in a name can split or change a field.
    auto* form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    form->append(Field("name", name.toUtf8()));
    form->append(Field("punkte", points.trimmed().toUtf8()));
    // Packed: a replay of two hours' real play is over a megabyte as text, a tenth of it packed.
    form->append(Field("replay", QByteArray::fromStdString(Gzip(replay.toStdString())), "game.blubbi-replay.gz"));
    TimedOut = false;
    TooLong = false;
    Answer.clear();
    Status = 0;
    Reply = Net->post(request, form);
    form->setParent(Reply);
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
    while (Reply && Reply->isReadable()) {
        const qint64 n = Reply->read(buffer, sizeof buffer);
        if (n <= 0) return;
        if (Answer.size() + n > kMaxAnswerBytes) {
            TooLong = true;
            Reply->abort();  // finishes the reply, which reports it
            return;
        }
        Answer.append(buffer, n);
    }
}

QString THiscoreClient::Verdict(int status, const QByteArray& body, const QString& phrase, bool* ok) {
    const bool success = status >= 200 && status < 300;
    *ok = success;
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QString reason = Shortened(answer.value(QStringLiteral("reason")).toString(), kMaxReasonChars);
    if (success) {
        const QJsonValue rank = answer.value(QStringLiteral("rank"));
        const bool before = answer.value(QStringLiteral("duplicate")).toBool();
        if (rank.isDouble()) {
            const qint64 place = rank.toInteger();
            return before ? QStringLiteral("Dieses Spiel steht schon in der Hiscore-Liste: Platz %1.").arg(place)
                          : QStringLiteral("Geprüft und eingetragen: Platz %1 der Hiscore-Liste.").arg(place);
        }
        // Why it has no place, in the server's few words; its whole reason would not fit the dialog's line.
        const QString note = Shortened(answer.value(QStringLiteral("note")).toString(), kMaxPhraseChars);
        if (answer.contains(QStringLiteral("rank")))
            return QStringLiteral("Eingetragen, aber ohne Platz in der Hiscore-Liste") +
                   (note.isEmpty() ? QStringLiteral(".") : QStringLiteral(" (%1).").arg(note));
        return QStringLiteral("Ihre Punkte wurden in die Hiscore-Liste übertragen.");
    }
    if (!reason.isEmpty()) return QStringLiteral("Der Server hat die Punkte abgelehnt: ") + reason;
    return QStringLiteral("Übertragung fehlgeschlagen: Der Server antwortete mit %1 %2")
               .arg(status)
               .arg(Shortened(phrase, kMaxPhraseChars))
               .trimmed() +
           QLatin1Char('.');
}

void THiscoreClient::OnReplyFinished() {
    OnReadyRead();  // what is left of the answer
    QNetworkReply* reply = Reply;
    Reply = nullptr;
    Deadline->stop();
    reply->deleteLater();

    bool ok = false;
    QString message;
    Status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool success = Status >= 200 && Status < 300;
    if (TimedOut) {
        message = QStringLiteral("Übertragung fehlgeschlagen: Der Server hat nicht rechtzeitig geantwortet.");
    } else if (TooLong) {
        message = QStringLiteral("Übertragung fehlgeschlagen: Die Antwort des Servers ist zu lang.");
    } else if (Status != 0 && (!success || reply->error() == QNetworkReply::NoError)) {
        message = Verdict(Status, Answer, reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(), &ok);
    } else {
        // No answer, or a 2xx that broke off before its end.
        message = QStringLiteral("Übertragung fehlgeschlagen: %1").arg(reply->errorString());
    }
    emit Finished(ok, message);
}

}  // namespace blubbi
