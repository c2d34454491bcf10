// TWinForm: the congratulation dialog after the last level.
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace blubbi {

class TWinForm : public QDialog {
    Q_OBJECT
public:
    // The picture comes from programDir + "grafiken/gewonnen.gif"; without it the place stays empty.
    explicit TWinForm(const QString& programDir, QWidget* parent = nullptr);
    int exec() override;

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* BitBtn1;
};

}  // namespace blubbi
