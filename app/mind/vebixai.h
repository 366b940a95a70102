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

#include "app/mind/mindwrite.h"
#include "app/platform/safefile.h"
#include "engine/ai/ai.h"

namespace vebix {

namespace testing {
class MindFileOps;
}

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

    // Loads the mind file at path, in place of the engine's loadFile: opened as the user's own
    // file (a link to a regular file is followed; a FIFO, a device or a folder is refused with
    // the reason, never waited for), read no further than the last finished save (an append
    // cut off midway is left out, see mindwrite.h), and remembered as the file this mind was
    // loaded from, so that a save can tell whether it still is. A missing file gives an empty
    // mind. Throws Error("Unable to load AI file '<path>': <reason>") or a loading error below.
    std::size_t loadFile(const std::string& path);

    // Loading: the first line is the header line, then (version 1.2) the key=value lines up to
    // the first empty line, then the mind lines. Throws Error("Not a valid Vebix mind file") or
    // Error("Incompatible mind file").
    void acceptLoadedLine(std::string_view line) override;
    // Throws Error("Not a valid Vebix mind file") when no header line was read.
    void finishLoading() override;

    // The file as it was when this mind was last loaded from it or written to it; exists is
    // false for a mind that never was on disk (a new one).
    const MindFileState& fileState() const { return fileState_; }

    // Saves the lines from start on to the file at fileName, under the mind's write lock
    // (mindwrite.h), waiting for another writer:
    //  - a mind loaded from the file appends them, after ending a last line that has no line
    //    end (and a version 1.2 header that lacks its empty line), provided the file is still
    //    the one it was loaded from and no shorter; otherwise nothing is written and
    //    MindChanged says what happened to it;
    //  - a new mind, which never was on disk, writes the file whole (header and every line)
    //    when there is none or an empty one; when another program made the mind meanwhile, it
    //    appends to that one only the lines learned since it started, not those it started
    //    from (the template).
    // Throws Error("Unable to save mind file '<fileName>': <the system's reason>") and leaves
    // the file as it was when the lines cannot be written.
    virtual void saveFrom(std::size_t start);
    // Rewrites the whole file (as a version 1.2 mind) through a temporary file and a rename,
    // under the mind's write lock, keeping the file's owner, group and mode. Fails as saveFrom
    // does; throws MindChanged when the lines read from the mind's file can no longer be read
    // whole (another program cut that file shorter while it was loaded).
    virtual void saveAll();
    // Writes a new file at path (which must not exist yet) holding the header and the lines
    // from start on: a copy for safe keeping. This mind keeps its own file.
    void writeCopy(const std::string& path, std::size_t start) const;
    // Whether lines read from the mind's file have been lost since it was loaded (another
    // program cut the file shorter): only lines learned since can be written out.
    bool loadedLinesLost() const;

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
    // Tests make a save's system calls fail one at a time through this (MindFileOps).
    friend class testing::MindFileOps;

    // Writes the file whole: replacing what is there, or, exclusive, only when nothing has the
    // name (false then, writing nothing).
    bool writeWhole(MindWrite& writing, bool exclusive);
    void appendFrom(MindWrite& writing, std::size_t start);
    // The header and the lines from start on, for a whole write.
    ByteProducer wholeMind(std::size_t start) const;

    std::string botName_;
    std::string version_ = "1.2";   // decides the header layout
    std::string version2_ = "1.2";  // kept, never compared
    bool headerWritten_ = false;
    std::vector<std::string> headerLines_;
    bool inBody_ = false;
    // Called (on the saving thread) when a save finds another writer holding the mind's write
    // lock, just before it waits.
    std::function<void()> onWriteLockWait_;
    MindFileState fileState_;
    std::size_t startLines_ = 0;  // lines the mind started with at its last load
    const FileOps* fileOps_ = &systemFileOps();
};

}  // namespace vebix
