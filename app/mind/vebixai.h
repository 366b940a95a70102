#pragma once
// VebixAi: the engine as the chat program uses it. An Ai that knows the mind file (see
// mindfileformat.h): it reads the header naming the bot while the engine loads the file,
// refuses files that are not minds or carry a version it cannot read, writes minds back (whole
// or by appending the new lines), and offers a line for the bot to open a conversation with.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ai/ai.h"

namespace vebix {

class VebixAi : public Ai {
public:
    // The name from the header line; empty until a header line was read or a name was given.
    const std::string& botName() const { return botName_; }
    void setBotName(std::string name) { botName_ = std::move(name); }
    // The key=value lines between the header line and the first empty line, kept verbatim and
    // written back in the same order.
    const std::vector<std::string>& headerLines() const { return headerLines_; }
    void setHeaderLines(std::vector<std::string> lines) { headerLines_ = std::move(lines); }
    // The two version fields of the header line; a save makes both the current version.
    const std::string& version() const { return version_; }
    const std::string& version2() const { return version2_; }
    // While loading: true once further lines are mind lines rather than key=value lines.
    bool inBody() const { return inBody_; }
    // True when the header went to the file during this object's life, so that appending adds
    // only mind lines.
    bool headerWritten() const { return headerWritten_; }

    // Loading: the first line is the header line, then (version 1.2) the key=value lines up to
    // the first empty line, then the mind lines. Throws Error("Not a valid Vebix mind file") or
    // Error("Incompatible mind file").
    void acceptLoadedLine(std::string_view line) override;
    // Throws Error("Not a valid Vebix mind file") when no header line was read.
    void finishLoading() override;

    // Appends the lines from start on to the file at fileName, after ending a last line that
    // has no line end. A missing or empty file is written whole instead, header included.
    // Throws Error("Unable to save mind file '<fileName>': <the system's reason>") and leaves
    // the file as it was when the lines cannot be written. Runs under the mind's write lock
    // (mindlock.h), waiting for another writer.
    virtual void saveFrom(std::size_t start);
    // Rewrites the whole file (as a version 1.2 mind) through a temporary file and a rename,
    // under the mind's write lock. Fails as saveFrom does.
    virtual void saveAll();

    // A line for the bot to open a conversation with user, or empty.
    std::string openingLine(std::string_view user);

    // True for texts that greet: "hello", "whats up", "what's up" and "how are you" anywhere,
    // "hi", "hey" and "sup" as the whole text or at its start or end. ASCII case-insensitive.
    static bool isGreeting(std::string_view text);

    // Gives sink the start of a mind file as a save writes it: the byte-order mark, the header
    // line (current version, botName), the key=value lines and the empty line after them.
    void writeHeader(const std::function<void(std::string_view)>& sink) const;

    // Parses a header line into version, version2 and botName and sets inBody by the version.
    void parseHeaderLine(std::string_view line);

private:
    // Tests learn when a save waits for another writer (vebixaitesthelper.h).
    friend class VebixAiTestHelper;

    void writeWhole();
    void appendFrom(std::size_t start);

    std::string botName_;
    std::string version_ = "1.2";   // decides the header layout
    std::string version2_ = "1.2";  // kept, never compared
    bool headerWritten_ = false;
    std::vector<std::string> headerLines_;
    bool inBody_ = false;
    // Called (on the saving thread) when a save finds another writer holding the mind's write
    // lock, just before it waits.
    std::function<void()> onWriteLockWait_;
};

}  // namespace vebix
