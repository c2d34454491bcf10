// TGameOverForm: the game-over dialog with the points, the name and the hiscore upload.
#pragma once
#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QSet>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace blubbi {

class THiscoreClient;

class TGameOverForm : public QDialog {
    Q_OBJECT
public:
    // `shellOpen` opens a web address; failures are silent.
    explicit TGameOverForm(std::function<void(const QString&)> shellOpen, QWidget* parent = nullptr);

    // The login name of the user running the program; empty when it can't be read.
    static QString LoginName();

    // Before each showing, one call per game over: the points and the level reached, a fresh
    // outcome line, and the upload open again (each game's points go to the list once).
    void SetPoints(const QString& points, int level = 0);

    // The replay of the game that just ended, for a hiscore server to check; none when the game
    // was not recorded.
    using TReplayProvider = std::function<std::optional<QByteArray>()>;
    void SetReplayProvider(TReplayProvider provider) { Replay = std::move(provider); }

    // The game's keys (its own codes) held as the last life went: none of them answers the dialog
    // until it was let go.
    void IgnoreHeld(const std::set<int32_t>& keys);

    // The table of this computer's best games, shown modally.
    void ShowLocalTable();
    int exec() override;

    void FormCreate();
    void BitBtn3Click();
    void BitBtn4Click();

    QLabel* Label1;
    QGroupBox* GroupBox1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* NameEd;
    QLineEdit* PunkteEd;
    QPushButton* BitBtn4;
    QPushButton* BitBtn3;
    QPushButton* BitBtn2;
    QPushButton* BitBtn1;
    QLabel* UploadLbl;  // the outcome of this game's upload
    THiscoreClient* HttpCli1;

    // Only a deliberate key answers: none in the dialog's first half second, none still held from
    // the game (until it is let go), no key's repeat outside the name.
    static constexpr qint64 kCalmMs = 500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The outcome of an upload that ended after its dialog was closed, for the main window
    // to show.
    void UploadNotice(const QString& message);

private:
    void UploadFinished(bool ok, const QString& message);
    void ShowOutcome(const QString& message);
    // Enters this game into the local table and says so, after `why` (may be empty).
    void EnterLocally(const QString& why);
    std::function<void(const QString&)> ShellOpen;
    TReplayProvider Replay;
    // Whether the key event is to pass by the dialog unanswered.
    bool Undeliberate(QObject* watched, QKeyEvent* event);
    QElapsedTimer Shown;  // since the dialog opened
    QSet<int> Stale;      // keys held from before, or pressed too soon, until let go
    int Level = 0;
    int GameNo = 0;       // counts the game overs (SetPoints)
    int PostGameNo = -1;  // the game over whose points the last upload carried
    bool Posted = false;  // this game's points are in the list
};

}  // namespace blubbi
