// THiscoreClient: posts a player's name and points to the hiscore service, one request at a time.
#pragma once
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace blubbi {

class THiscoreClient : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 15000;
    // The answer's body is read and thrown away; a longer one is not an answer of the service.
    static constexpr qint64 kMaxAnswerBytes = 64 * 1024;

    explicit THiscoreClient(QObject* parent = nullptr);
    // A post still under way is dropped without a Finished.
    ~THiscoreClient() override;

    void SetUrl(const QUrl& url) { Url = url; }
    QUrl GetUrl() const { return Url; }
    void SetTimeout(int ms) { TimeoutMs = ms; }
    bool Busy() const { return Reply != nullptr; }

    // The form body: name and points, UTF-8 and percent-encoded.
    static QByteArray FormBody(const QString& name, const QString& points);

    // Starts the post and returns at once; false (and nothing sent) while one is running.
    // Finished follows exactly once for every post that was started.
    bool Post(const QString& name, const QString& points);

signals:
    // ok: the service answered 2xx and the answer arrived whole. message: a German line to
    // show the player (plain text; it may carry words of the server's).
    void Finished(bool ok, const QString& message);

private:
    void OnReplyFinished();
    void OnReadyRead();
    void OnTimeout();

    QNetworkAccessManager* Net;
    QTimer* Deadline;
    QNetworkReply* Reply = nullptr;
    QUrl Url;
    int TimeoutMs = kDefaultTimeoutMs;
    bool TimedOut = false;
    bool TooLong = false;
    qint64 AnswerBytes = 0;
};

}  // namespace blubbi
