// TLevelPublishForm: tells where to mail one's own levels and offers to start the mail.
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

    QLabel* Label1;
    QFrame* Bevel1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

}  // namespace blubbi
