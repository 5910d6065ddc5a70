#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

class TStringGridData;

// Reading fields out of the control server's XML replies by searching for literal tags. No document
// tree is built: no CDATA, no namespaces, and the first closing tag ends an element even when an
// element of the same name is nested inside it. The values handed out (XmlExtract results and cells,
// XmlChildrenToList values) have their character references decoded (DecodeCharacterReferences), so
// windows show, and requests send back, the texts the server meant; XmlInnerText and XmlFindElement
// hand out raw reply text. None of these operations fails: malformed or truncated text gives empty
// values, missing rows or an early stop.

// XmlExtract modes.
inline constexpr int kXmlFillColumn = 1; // fill one grid column with the value of every occurrence
inline constexpr int kXmlLastValue = 2;  // return the value of the last occurrence
inline constexpr int kXmlAllValues = 3;  // return every value, joined by CR (no LF)

// Finds every `<tag>` (or `<tag ` with attributes) element, ignoring the case of A-Z, and reads the
// text up to the next `</tag`. For a start tag with attributes the value begins with the attributes
// and the ">" before the element text.
//
// With a non-empty section, only a window of the data is searched: it starts right after the first
// "<section" and is as long as the 1-based position of the first "</section>" in the whole data (so it
// reaches past the section's closing tag); no "<section" gives the empty result.
//
// Mode 1 with a grid: occurrence n (from 1) sets cell (0, n) to n in decimal and cell (column, n) to
// the value; afterwards the grid has n + 1 rows for the last n found (1 row when there is none). Other
// columns of the rows kept are left as they were, so several calls with different tags and columns
// fill one table. Modes 2 and 3 return the text (a grid given with them is cut to 1 row); mode 1
// returns the empty text.
//
// Runs in time linear in the data size, without copying it: the searches compare case-folded bytes
// in place, and each search pattern only ever moves forward through the data.
std::string XmlExtract(std::string_view data, std::string_view section, std::string_view tag, int mode,
                       TStringGridData* grid = nullptr, int column = 0);

// XmlExtract in mode 1 (empty section) for several tags at once, over a reply that arrives in
// pieces: once Finish has run, Values(i) holds exactly the cells that XmlExtract puts into its column
// for tags[i] over the whole text (one decoded value per occurrence, in order). Values are read as
// soon as the bytes that decide them have arrived; of the reply only what an unfinished value or an
// undecided search still needs is kept (normally less than one element). Tags must not be empty.
// The tags are looked for whenever scanEvery bytes have come since the last look.
class TXmlExtractStream {
public:
    explicit TXmlExtractStream(std::vector<std::string> tags, std::size_t scanEvery = 16 * 1024);
    ~TXmlExtractStream();
    TXmlExtractStream(const TXmlExtractStream&) = delete;
    TXmlExtractStream& operator=(const TXmlExtractStream&) = delete;

    // The next bytes of the reply (ignored after Finish).
    void Feed(std::string_view bytes);
    // The reply is complete: the last values are read and nothing of the reply is kept.
    void Finish();
    bool Finished() const;
    // Forgets everything fed: a new reply begins.
    void Reset();

    std::size_t TagCount() const;
    // The values read so far for tags[tag]; the caller may move them out.
    std::vector<std::string>& Values(std::size_t tag);

private:
    struct State;
    void Scan(bool final);
    std::unique_ptr<State> state_;
};

// The text between the first `<tag>` and the following `</tag>` (case-sensitive; a start tag with
// attributes is not found); empty when either is missing.
std::string XmlInnerText(std::string_view tag, std::string_view data);

// One row per child element of the first `<tag>` element: cell (0, r) the child's name, cell (1, r) its
// text; the grid's row count becomes the number of children. Returns the child texts, each preceded
// by CR, followed by one final CR. A child whose start tag carries attributes ends the list (its
// closing tag is looked for with the attributes in the name). Case-sensitive.
std::string XmlChildrenToList(std::string_view data, std::string_view tag, TStringGridData* grid = nullptr);

// The whole first `<outer>...</outer>` element (tags included) that contains a `<key>` child whose text,
// references decoded, is value; or the empty text. Elements are taken in turn, each removed from a working
// copy of the data before the next is looked for; an empty `<outer></outer>` element ends the search.
// Case-sensitive.
std::string XmlFindElement(std::string_view data, std::string_view outer, std::string_view key,
                           std::string_view value);

} // namespace parlomar
