// TLevelPublishForm: tells how to pass one's own levels on and offers the mail or the manual.
#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace blubbi {

class TLevelPublishForm : public QDialog {
    Q_OBJECT
public:
    explicit TLevelPublishForm(QWidget* parent = nullptr);
    int exec() override;
    // What OK opens: a mail to the configured level address, or else the manual's part on sharing levels.
    QString Target() const;

    QLabel* Label1;
    QFrame* Bevel1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

private:
    QString Mail;
};

}  // namespace blubbi
