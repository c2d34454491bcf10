// THiscoreClient: sends a game's name, points and replay to a hiscore server, one request at a time.
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
    // A longer answer is not one of a hiscore server's.
    static constexpr qint64 kMaxAnswerBytes = 64 * 1024;

    explicit THiscoreClient(QObject* parent = nullptr);
    // A post still under way is dropped without a Finished.
    ~THiscoreClient() override;

    // Where the scores go; empty until set.
    void SetUrl(const QUrl& url) { Url = url; }
    QUrl GetUrl() const { return Url; }
    void SetTimeout(int ms) { TimeoutMs = ms; }
    bool Busy() const { return Reply != nullptr; }

    // The HTTP status of the last finished post; 0 when no answer came.
    int LastStatus() const { return Status; }

    // Starts the post (multipart/form-data with the fields name, punkte and replay) and returns at
    // once; false (and nothing sent) while one is running or without an address.
    // Finished follows exactly once for every post that was started.
    bool Post(const QString& name, const QString& points, const QByteArray& replay);

    // The line for the player on a finished answer: its status, body (JSON from a hiscore server,
    // or anything else) and reason phrase.
    static QString Verdict(int status, const QByteArray& body, const QString& phrase, bool* ok);

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
    QByteArray Answer;
    int Status = 0;
};

}  // namespace blubbi
