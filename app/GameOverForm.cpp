// The game-over dialog: points, player's name, hiscore list and upload, continue or new game.
#include "app/GameOverForm.h"

#include <pwd.h>
#include <unistd.h>

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Addresses.h"
#include "app/BitBtn.h"
#include "app/HiscoreClient.h"
#include "app/LocalHiscores.h"

namespace blubbi {

namespace {
void Colour(QWidget* w, QPalette::ColorRole role, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

// `text` as it fits into the word-wrapped `label`: a word too long for a line loses its middle,
// and what goes beyond the label's lines ends after a whole word with " …".
QString FitToLabel(const QLabel* label, const QString& text) {
    const QFontMetrics metrics(label->font());
    const int width = label->contentsRect().width();
    QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& word : words)
        if (metrics.horizontalAdvance(word) > width) word = metrics.elidedText(word, Qt::ElideMiddle, width);
    auto fits = [&](const QString& s) {
        const QRect box(0, 0, width, 100000);
        return metrics.boundingRect(box, Qt::AlignLeft | Qt::TextWordWrap, s).height() <=
               label->contentsRect().height();
    };
    QString shown = words.join(QLatin1Char(' '));
    while (!fits(shown) && words.size() > 1) {
        words.removeLast();
        shown = words.join(QLatin1Char(' ')) + QStringLiteral(" …");
    }
    return shown;
}
}  // namespace

TGameOverForm::TGameOverForm(std::function<void(const QString&)> shellOpen, QWidget* parent)
    : QDialog(parent), ShellOpen(std::move(shellOpen)) {
    setObjectName(QStringLiteral("GameOverForm"));
    setWindowTitle(QStringLiteral("Game Over"));
    FixedDialogBorder(this, 542, 343);
    ApplyFormFont(this);
    setAutoFillBackground(true);
    Colour(this, QPalette::Window, Qt::black);

    Label1 = new QLabel(QStringLiteral("Game Over"), this);
    Label1->setFont(HeavyFont(32));
    Colour(Label1, QPalette::WindowText, Qt::yellow);
    Label1->move(170, 24);
    Label1->adjustSize();

    GroupBox1 = new QGroupBox(QStringLiteral("Punkte in Internet-Hiscore Liste veröffentlichen"), this);
    GroupBox1->setGeometry(16, 96, 513, 161);
    Colour(GroupBox1, QPalette::WindowText, Qt::white);

    Label2 = new QLabel(QStringLiteral("Ihr Name:"), GroupBox1);
    Label2->move(16, 32);
    Label3 = new QLabel(QStringLiteral("Ihre Punktzahl:"), GroupBox1);
    Label3->move(16, 64);
    for (QLabel* l : {Label2, Label3}) {
        Colour(l, QPalette::WindowText, Qt::white);
        l->adjustSize();
    }

    NameEd = new QLineEdit(GroupBox1);
    NameEd->setGeometry(96, 32, 145, 21);
    PunkteEd = new QLineEdit(GroupBox1);
    PunkteEd->setGeometry(96, 60, 145, 21);
    PunkteEd->setReadOnly(true);
    Colour(PunkteEd, QPalette::Base, palette().color(QPalette::ToolTipBase));
    Colour(PunkteEd, QPalette::Text, palette().color(QPalette::ToolTipText));

    BitBtn4 =
        MakeBitBtn(this, TBitBtnKind::Custom, QStringLiteral("Ins Internet übertragen"), 16, 96, 177, 25, GroupBox1);
    BitBtn4->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    BitBtn3 =
        MakeBitBtn(this, TBitBtnKind::Custom, QStringLiteral("Hiscoreliste anschauen"), 200, 96, 177, 25, GroupBox1);
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    // Neither may take Enter from the dialog's default button.
    BitBtn4->setAutoDefault(false);
    BitBtn3->setAutoDefault(false);

    // Two lines below the buttons; what comes from the server is never read as markup.
    UploadLbl = new QLabel(GroupBox1);
    UploadLbl->setGeometry(16, 124, 489, 32);
    UploadLbl->setTextFormat(Qt::PlainText);
    UploadLbl->setWordWrap(true);
    UploadLbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Colour(UploadLbl, QPalette::WindowText, Qt::white);

    BitBtn2 = MakeBitBtn(this, TBitBtnKind::Ok, QStringLiteral("&Continue"), 138, 304, 129, 25);
    BitBtn1 = MakeBitBtn(this, TBitBtnKind::Cancel, QStringLiteral("&Neues Spiel"), 274, 304, 129, 25);

    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, NameEd);
    setTabOrder(NameEd, PunkteEd);
    setTabOrder(PunkteEd, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);

    HttpCli1 = new THiscoreClient(this);
    connect(HttpCli1, &THiscoreClient::Finished, this, &TGameOverForm::UploadFinished);
    connect(BitBtn3, &QPushButton::clicked, this, &TGameOverForm::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TGameOverForm::BitBtn4Click);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    FormCreate();
}

QString TGameOverForm::LoginName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
    if (const char* login = getlogin()) return QString::fromLocal8Bit(login);
    return {};
}

void TGameOverForm::FormCreate() { NameEd->setText(LoginName()); }

void TGameOverForm::SetPoints(const QString& points, int level) {
    PunkteEd->setText(points);
    Level = level;
    ++GameNo;
    Posted = false;
    ShowOutcome(QString());
    // An upload of an earlier game over may still run; its outcome goes to UploadNotice.
    BitBtn4->setEnabled(!HttpCli1->Busy());
}

int TGameOverForm::exec() {
    CentreOnScreen(this);
    BitBtn1->setFocus(Qt::OtherFocusReason);
    Shown.start();
    const int result = QDialog::exec();
    Stale.clear();
    return result;
}

void TGameOverForm::IgnoreHeld(const std::set<int32_t>& keys) {
    for (const int32_t key : keys) {
        if (key == ' ') Stale.insert(Qt::Key_Space);
        if (key == 37) Stale.insert(Qt::Key_Left);
        if (key == 38) Stale.insert(Qt::Key_Up);
        if (key == 39) Stale.insert(Qt::Key_Right);
    }
}

bool TGameOverForm::Undeliberate(QObject* watched, QKeyEvent* event) {
    const int key = event->key();
    if (event->type() == QEvent::KeyRelease) {
        if (event->isAutoRepeat()) return Stale.contains(key);
        return Stale.remove(key);
    }
    if (Stale.contains(key)) return true;
    if (Shown.isValid() && Shown.elapsed() < kCalmMs) {
        Stale.insert(key);  // its release and its repeats too
        return true;
    }
    // A key held down types on in the name; anywhere else, and Esc and Enter there, its repeats
    // would choose.
    const bool chooses = key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
    return event->isAutoRepeat() && (watched != NameEd || chooses);
}

bool TGameOverForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) && isVisible() &&
        Undeliberate(watched, static_cast<QKeyEvent*>(event))) {
        // Accepted as an override, the key is no shortcut (Alt+N, Alt+C) either; then it is dropped.
        event->accept();
        return true;
    }
    // The name is kept whole when the focus comes to it: a key typed then adds to it.
    if (watched == NameEd && type == QEvent::FocusIn) QTimer::singleShot(0, NameEd, [this] { NameEd->end(false); });
    return QDialog::eventFilter(watched, event);
}

void TGameOverForm::BitBtn3Click() {
    const QUrl server = addr::HiscoreServer();
    if (server.isEmpty())
        ShowLocalTable();
    else
        ShellOpen(addr::HiscoreListUrl(server).toString());
}

void TGameOverForm::ShowLocalTable() {
    QDialog table(this);
    table.setObjectName(QStringLiteral("HiscoreTable"));
    table.setWindowTitle(QStringLiteral("Hiscoreliste (dieser Computer)"));
    auto* layout = new QVBoxLayout(&table);
    const std::vector<THiscoreEntry> entries = TLocalHiscores().Load();
    auto* grid = new QTableWidget(int(entries.size()), 4, &table);
    grid->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Punkte"), QStringLiteral("Level"), QStringLiteral("Datum")});
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    const QLocale german(QLocale::German, QLocale::Germany);
    for (int row = 0; row < int(entries.size()); ++row) {
        const THiscoreEntry& e = entries[size_t(row)];
        const QString cells[] = {e.Name, QString::number(e.Points), QString::number(e.Level),
                                 german.toString(e.Date.toLocalTime(), QStringLiteral("dd.MM.yyyy HH:mm"))};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            // Numbers line up by their last digit.
            if (col == 1 || col == 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(row, col, item);
        }
    }
    grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grid->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);  // a date on one line
    grid->setWordWrap(false);
    grid->setMinimumSize(460, 330);
    layout->addWidget(grid);
    if (entries.empty()) layout->addWidget(new QLabel(QStringLiteral("Noch keine Einträge."), &table));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &table);
    connect(buttons, &QDialogButtonBox::accepted, &table, &QDialog::accept);
    layout->addWidget(buttons);
    table.exec();
}

void TGameOverForm::EnterLocally(const QString& why) {
    bool saved = false;
    const int place = TLocalHiscores().Enter(
        {NameEd->text().trimmed(), PunkteEd->text().trimmed().toLongLong(), Level, QDateTime::currentDateTime()},
        &saved);
    Posted = true;
    BitBtn4->setEnabled(false);
    QString outcome;
    if (place == 0)
        outcome = QStringLiteral("Für die lokalen besten 10 reicht es diesmal nicht.");
    else if (!saved)
        outcome = QStringLiteral("Die lokale Hiscore-Liste konnte nicht gespeichert werden.");
    else
        outcome = QStringLiteral("Platz %1 der lokalen Hiscore-Liste.").arg(place);
    ShowOutcome(why.isEmpty() ? outcome : why + QLatin1Char(' ') + outcome);
}

void TGameOverForm::BitBtn4Click() {
    if (HttpCli1->Busy() || Posted) return;
    if (NameEd->text().trimmed().isEmpty()) {
        ShowOutcome(QStringLiteral("Bitte geben Sie zuerst Ihren Namen ein."));
        NameEd->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QUrl server = addr::HiscoreServer();
    if (server.isEmpty()) return EnterLocally(QStringLiteral("Kein Hiscore-Server eingestellt:"));
    const std::optional<QByteArray> replay = Replay ? Replay() : std::nullopt;
    // The server takes only games it can check by their recording.
    if (!replay || replay->isEmpty())
        return EnterLocally(QStringLiteral("Von diesem Spiel gibt es keine Aufzeichnung:"));
    HttpCli1->SetUrl(addr::HiscoreUploadUrl(server));
    if (!HttpCli1->Post(NameEd->text().trimmed(), PunkteEd->text(), *replay)) return;
    PostGameNo = GameNo;
    BitBtn4->setEnabled(false);
    ShowOutcome(QStringLiteral("Übertragung läuft..."));
}

void TGameOverForm::UploadFinished(bool ok, const QString& message) {
    const bool thisGame = PostGameNo == GameNo;
    // A refusal stands for this recording; only a failed transfer or a busy server is worth another try.
    const int status = HttpCli1->LastStatus();
    const bool refused = status >= 400 && status < 500 && status != 408 && status != 429;
    if ((ok || refused) && thisGame) Posted = true;
    BitBtn4->setEnabled(!Posted);
    if (thisGame) ShowOutcome(message);
    // Nobody would see it here: the dialog was closed, or it shows a later game over now.
    if (!thisGame || !isVisible()) emit UploadNotice(message);
}

void TGameOverForm::ShowOutcome(const QString& message) {
    const QString shown = FitToLabel(UploadLbl, message);
    UploadLbl->setText(shown);
    // The whole outcome as a tool tip; escaped, since tool tips read markup.
    UploadLbl->setToolTip(shown == message ? QString() : QStringLiteral("<p>%1</p>").arg(message.toHtmlEscaped()));
}

}  // namespace blubbi
