#pragma once
// The "Universal Dynamic Link Protocol" dialog: explains UDLP, lets the user choose whether the
// loaded bot learns from linked conversations, and enables the bot by writing the two UDLP
// info files beside the program, or into the bot's per-user folder when the program's folder
// cannot be written (asking first when they are there already). After it closes,
// enabled() tells the main window whether the files were written, so that it requests a save
// of the mind.

#include <QDialog>
#include <QLabel>
#include <QString>
#include <QUrl>

#include <functional>

class QCheckBox;
class QPushButton;

namespace vebix {

class MindKeeper;
class Prompts;

// A label that acts as a link: a hand cursor, the desktop palette's link colour while the mouse
// is over it and its ordinary text colour otherwise.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showHovered(bool hovered);
};

class UdlpForm : public QDialog {
    Q_OBJECT
public:
    // owner: the main window (may be null); mind: its mind keeping (null: no main window).
    // programPath: the program's own executable, which the UDLP files name.
    UdlpForm(QWidget* owner, const MindKeeper* mind, Prompts& prompts,
             const std::string& programPath);

    // True when the files were written during this showing.
    bool enabled() const { return enabled_; }

    // Checks, asks and writes both files for the loaded bot (the Enable button).
    void enableUdlp();

    // The name the link label gives the UDLP page it opens (see udlpguide.h).
    static const char* const kGuidePage;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void openDownloadPage();
    void learnToggled();

    const MindKeeper* mind_;
    Prompts* prompts_;
    const std::string programPath_;
    bool enabled_ = false;
    QLabel* introLabel_;
    LinkLabel* linkShellLabel_;
    QLabel* curBotLabel_;
    QCheckBox* learnCheck_;
    QPushButton* enableUdlpBtn_;
    QLabel* label4_;
    QPushButton* doneBtn_;
};

}  // namespace vebix
