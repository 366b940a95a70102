#pragma once
// The lines a person types, one at a time, while the Qt event loop keeps running. On a terminal
// they are edited with libedit (cursor keys, history kept in a file); otherwise they are read
// plainly from the descriptor, so that a script can pipe a conversation in. Lines are asked for
// one by one: nothing is read ahead of a request on a terminal, and lines read ahead from a
// pipe wait in a queue until they are asked for. At most one LineInput may read a terminal at a
// time (libedit keeps one global line).

#include <QObject>
#include <QString>

#include <deque>
#include <string>

class QSocketNotifier;

namespace vebix::cli {

class LineInput : public QObject {
    Q_OBJECT
public:
    // fd: where lines come from; terminal: whether it is one (line editing then); historyPath:
    // the history file of the edited lines, read now and written by saveHistory (empty: none).
    LineInput(int fd, bool terminal, std::string historyPath, QObject* parent = nullptr);
    // Leaves the terminal as it was found.
    ~LineInput() override;
    LineInput(const LineInput&) = delete;
    LineInput& operator=(const LineInput&) = delete;

    // Asks for the next line: lineRead or endOfInput follows from the event loop. On a
    // terminal the prompt (which may hold colour escapes) is shown before the cursor; off a
    // terminal no prompt is shown.
    void requestLine(const std::string& prompt);
    // Stops reading and gives the terminal back in its normal mode (before anything else is
    // written to it, or the program ends). A request under way is dropped.
    void stop();

    // Writes the history of edited lines to the history file (its folder made when missing).
    // False when it cannot be written.
    bool saveHistory() const;

    // Reads one line plainly, byte by byte, so that nothing after it is taken from the
    // descriptor: for questions asked outside line editing. The line ends are removed; false
    // at the end of input with nothing read.
    static bool readPlainLine(int fd, std::string& line);

    // The history file: $XDG_STATE_HOME/vebix/history, or ~/.local/state/vebix/history.
    static std::string defaultHistoryPath();

signals:
    void lineRead(const QString& line);
    // The input ended (Ctrl-D on a terminal, end of the pipe or file).
    void endOfInput();

private:
    static void onEditedLine(char* line);
    void onReadable();
    void deliverQueued();

    int fd_;
    bool terminal_;
    std::string historyPath_;
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
    bool editing_ = false;  // the libedit handler is installed
    bool ended_ = false;    // the end of input was read
    std::string partial_;   // bytes of a piped line not yet ended
    std::deque<std::string> queued_;
    // A line (or the end, hasEditedEnd) handed over by libedit during the last read.
    bool hasEdited_ = false;
    bool hasEditedEnd_ = false;
    std::string edited_;
};

}  // namespace vebix::cli
