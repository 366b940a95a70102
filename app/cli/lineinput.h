#pragma once
// The lines a person types, one at a time, while the Qt event loop keeps running. On a terminal
// they are edited with libedit's own interface (cursor keys, Ctrl-R to search the history kept
// in a file), a line of any length; otherwise they are read plainly from the descriptor, so that
// a script can pipe a conversation in. Lines come as the bytes typed, UTF-8 or not. Lines are
// asked for one by one: keys typed while no line is asked for (while a reply is prepared) wait,
// unechoed, and mean what they mean once the next line is asked for (Ctrl-D ends the input);
// lines read ahead from a pipe wait in a queue until they are asked for.

#include <termios.h>

#include <cwchar>

#include <QByteArray>
#include <QObject>

#include <deque>
#include <string>
#include <string_view>

class QSocketNotifier;
struct editline;

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
    // A line, its bytes as typed, without its line end.
    void lineRead(const QByteArray& line);
    // The input ended (Ctrl-D on a terminal, end of the pipe or file).
    void endOfInput();

private:
    static int readCharacter(editline* editor, wchar_t* character);
    static wchar_t* promptText(editline* editor);
    static unsigned char takeTypedRun(editline* editor, wint_t key);
    int nextCharacter(wchar_t& character);
    bool readByteNow(bool wait);
    std::string_view pending() const;
    void consumePending(std::size_t count);
    std::size_t ordinaryRun() const;
    bool emacsKeys() const;
    void onReadable();
    void onTerminalReadable();
    void finishEditing();
    void hold();
    void release();
    void deliverQueued();
    void loadHistory();

    int fd_;
    bool terminal_;
    std::string historyPath_;
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
    bool editing_ = false;  // a line is being edited (the terminal in the editor's mode)
    bool ended_ = false;    // the end of input was read
    std::string partial_;   // bytes of a piped line not yet ended
    std::deque<std::string> queued_;

    // The editor and its history (terminal only).
    editline* editor_ = nullptr;
    void* history_ = nullptr;
    std::wstring prompt_;
    // Read from the terminal, not yet handed to the editor: pendingBytes_ from pendingStart_.
    std::string pendingBytes_;
    std::size_t pendingStart_ = 0;
    std::size_t typedRun_ = 0;  // the run of pending bytes takeTypedRun is to take
    bool firstRead_ = false;    // the editor's next read starts a command
    bool wouldBlock_ = false;   // the editor asked for a key that has not been typed yet
    // Between lines the terminal holds typed keys back, unechoed and uninterpreted.
    bool holding_ = false;
    termios held_{};
};

}  // namespace vebix::cli
