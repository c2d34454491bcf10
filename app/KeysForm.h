// TKeysForm: the key bindings, with the cheat code behind a double-click.
#pragma once
#include <QDialog>

class QLabel;
class QMessageBox;
class QPushButton;

namespace blubbi {

class TKeysForm : public QDialog {
    Q_OBJECT
public:
    explicit TKeysForm(QWidget* parent = nullptr);
    int exec() override;

    void Label1DblClick();

    QLabel* Label1;
    QPushButton* BitBtn1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace blubbi
