// TAboutBox: the picture, the product, the maker and a button to the manual or a configured home page.
#pragma once
#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace blubbi {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // The picture comes from programDir + "grafiken/info.jpg"; `shellOpen` opens an address.
    TAboutBox(const QString& programDir, std::function<void(const QString&)> shellOpen, QWidget* parent = nullptr);
    int exec() override;

    void BitBtnXP1Click();

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Copyright;
    QLabel* Comments;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* BitBtnXP1;
    QPushButton* BitBtn1;

private:
    std::function<void(const QString&)> ShellOpen;
    QString HomePage;  // the configured one; empty: the button opens the manual
};

}  // namespace blubbi
