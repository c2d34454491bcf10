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

    // Before each showing: the points, and a fresh outcome line unless an upload still runs.
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
    QLabel* UploadLbl;  // the outcome of the last upload
    THiscoreClient* HttpCli1;

private:
    void UploadFinished(bool ok, const QString& message);
    std::function<void(const QString&)> ShellOpen;
};

}  // namespace blubbi
