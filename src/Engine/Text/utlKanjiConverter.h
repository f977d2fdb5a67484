#pragma once

#include "Engine/Text/utlCodeDetector.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Turns the bytes of a Japanese page, in Shift_JIS, ISO-2022-JP, EUC-JP or UTF-8, into
// Shift_JIS (CP932) with CR LF line ends, block by block as the page arrives. The caller may
// cut the stream anywhere: whatever cannot be finished at the end of a block (a CR, part of a
// character, an escape sequence, or bytes whose code is not yet known) is held and finished
// with the next block, so the converted text never depends on the cuts.
//
// While the code is unknown, 7-bit text is converted as ASCII at once; from the first byte
// that could mean more (an 8-bit byte, an ESC) the bytes are held until the detector decides,
// at most holdLimit of them, and finishCode settles the rest at the end of the page.
class utlKanjiConverter {
public:
    enum CodeKind {
        codeUnknown = 0,
        codeAscii = 1,
        codeSjis = 2,
        codeJis = 3,
        codeEuc = 4,
        codeUtf8 = 5
    };
    static constexpr std::size_t holdLimit = 32 * 1024;

    utlKanjiConverter();
    virtual ~utlKanjiConverter();

    // Both free the output and clear every held byte and state; the code kind stays.
    virtual bool init();
    virtual bool reset();
    // Detection step over one block: feeds the detector and sets codeKind when it decides.
    // decidedAt is the number of bytes fed (the whole block when nothing was decided).
    virtual bool checkCode(const char* bytes, std::size_t length, std::size_t& decidedAt);
    // Converts one block and appends the result to the output list (possibly empty, while
    // bytes are held for detection).
    virtual bool convertCode(const char* bytes, std::size_t length);
    // As convertCode, but when the code is decided inside the block, converts only up to the
    // byte that decided it; used is the number of bytes taken, the rest is for the next call.
    bool convertUntilDecided(const char* bytes, std::size_t length, std::size_t& used);
    virtual bool convertASCII(const char* bytes, std::size_t length);
    virtual bool convertSJIS(const char* bytes, std::size_t length);
    virtual bool convertJIS(const char* bytes, std::size_t length);
    virtual bool convertEUC(const char* bytes, std::size_t length);
    virtual bool convertUTF8(const char* bytes, std::size_t length);
    // End of the page: decides an open detection and converts the held bytes into one more
    // output block. A character left unfinished is dropped, as is a last CR.
    virtual bool finishCode();

    int getConverterCode() const { return codeKind; }
    // 0 to detect; an owner that knows the code may set 2 to 5 before the page.
    void setConverterCode(int kind) { codeKind = kind; }
    // The charset the page declares (HTTP header, META); a hint for the detector only.
    void setDeclaredCode(int kind) { detector.setDeclaredCode(kind); }

    const std::vector<std::string>& getOutput() const { return output; }
    // The converted text of the last call.
    const std::string& lastOutput() const;
    // For a reader that passes over a UTF-8 page's text up to a '<' without converting it:
    // forgets a partial character or a CR held from that text, which would only have been
    // written ('?' or a line end) before the '<'.
    void dropHeldText()
    {
        state.heldCount = 0;
        state.pendingCR = false;
    }
    // Frees the output blocks, keeping every state (and the last block's buffer for the next
    // one: a page is converted block by block).
    void discardOutput();
    // Characters of a JIS or EUC-JP page that CP932 cannot hold, written as "〓", since the
    // last reset (a UTF-8 page keeps them as references).
    std::uint64_t getUnmappableCount() const { return state.unmappable; }

    // The code kind named by a charset label ("shift_jis", "EUC-JP", "utf-8", ...), 0 if none.
    static int codeOfCharset(const std::string& label);
    static const char* nameOfCode(int kind);

    // What a converter keeps between blocks.
    struct State {
        bool pendingCR = false;
        unsigned char held[4] = {0, 0, 0, 0};
        int heldCount = 0;
        int jisState = 0;
        int jisReturnState = 4;
        unsigned char jisFirstByte = 0;
        int jisSet = 0; // 0 JIS X 0208, 1 JIS X 0213 plane 1, 2 a set CP932 cannot hold
        bool jisWarned = false;
        std::uint32_t utf8Code = 0;
        std::uint32_t utf8Min = 0;
        std::uint64_t unmappable = 0;
    };

protected:
    int codeKind = codeUnknown;
    std::vector<std::string> output;
    State state;
    utlCodeDetector detector;
    std::string pending;
    std::string spare;
    // What convertInto writes before it is appended: kept between blocks, so that the room
    // for the worst case is neither allocated nor zero-filled for every block.
    std::unique_ptr<char[]> scratch;
    std::size_t scratchSize = 0;

private:
    bool convertInto(int kind, const char* bytes, std::size_t length, std::string& out);
    bool convertDetecting(const char* bytes, std::size_t length, std::string& out,
                          std::size_t* used = nullptr);
    void switchTo(int kind, std::string& out);
    bool pushOutput(std::string&& out);
    std::string takeSpare();
    static const char* failureMessage(int kind);
    static const char* methodName(int kind);
};
