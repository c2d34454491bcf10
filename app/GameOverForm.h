// TGameOverForm: the game-over dialog with the points, the name and the hiscore upload.
#pragma once
#include <QDialog>
#include <functional>

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

    // Before each showing, one call per game over: the points, a fresh outcome line, and
    // the upload open again (each game's points go to the list once).
    void SetPoints(const QString& points);
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

signals:
    // The outcome of an upload that ended after its dialog was closed, for the main window
    // to show.
    void UploadNotice(const QString& message);

private:
    void UploadFinished(bool ok, const QString& message);
    void ShowOutcome(const QString& message);
    std::function<void(const QString&)> ShellOpen;
    int GameNo = 0;       // counts the game overs (SetPoints)
    int PostGameNo = -1;  // the game over whose points the last upload carried
    bool Posted = false;  // this game's points are in the list
};

}  // namespace blubbi
