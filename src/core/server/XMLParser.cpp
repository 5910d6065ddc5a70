#include "core/server/XMLParser.h"

#include "core/Text.h"
#include "core/accounts/StringGrid.h"
#include "core/server/ReplyText.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace parlomar {

namespace {

constexpr auto npos = std::string_view::npos;

// Byte values with A-Z mapped to a-z.
struct FoldTable {
    unsigned char map[256];
    constexpr FoldTable() : map() {
        for (int c = 0; c < 256; ++c) {
            map[c] = static_cast<unsigned char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        }
    }
};
constexpr FoldTable kFold;

inline unsigned char Fold(char c) {
    return kFold.map[static_cast<unsigned char>(c)];
}

// One pattern searched for ignoring the case of A-Z (Horspool's algorithm on the folded bytes, so the
// text itself is never copied or lower-cased).
class FoldedPattern {
public:
    explicit FoldedPattern(std::string_view pattern) : pattern_(LowerAscii(pattern)) {
        const size_t m = pattern_.size();
        std::fill(std::begin(skip_), std::end(skip_), m);
        for (size_t i = 0; i + 1 < m; ++i) {
            skip_[static_cast<unsigned char>(pattern_[i])] = m - 1 - i;
        }
    }

    size_t Size() const { return pattern_.size(); }

    // First occurrence in text starting at pos or later, or npos.
    size_t Search(std::string_view text, size_t pos) const {
        const size_t n = text.size();
        const size_t m = pattern_.size();
        if (m == 0) {
            return pos <= n ? pos : npos;
        }
        const unsigned char last = static_cast<unsigned char>(pattern_[m - 1]);
        while (pos <= n && m <= n - pos) {
            const unsigned char c = Fold(text[pos + m - 1]);
            if (c == last) {
                size_t j = m - 1;
                while (j > 0 && Fold(text[pos + j - 1]) == static_cast<unsigned char>(pattern_[j - 1])) {
                    --j;
                }
                if (j == 0) {
                    return pos;
                }
            }
            pos += skip_[c];
        }
        return npos;
    }

private:
    std::string pattern_;
    size_t skip_[256];
};

// Searches one text for one pattern, ignoring the case of A-Z. Searches move forward through the
// text: a result found from some start stays the answer for any later start up to it, so a loop
// that asks again from increasing positions scans each part of the text once.
class ForwardFinder {
public:
    ForwardFinder(std::string_view text, std::string_view pattern) : text_(text), pattern_(pattern) {}
    ForwardFinder(const ForwardFinder&) = delete;
    ForwardFinder& operator=(const ForwardFinder&) = delete;

    // First occurrence starting at `from` or later (0-based), or npos.
    size_t Find(size_t from) {
        if (cached_ && from >= lastFrom_ && (lastResult_ == npos || lastResult_ >= from)) {
            return lastResult_;
        }
        lastFrom_ = from;
        cached_ = true;
        lastResult_ = pattern_.Search(text_, from);
        return lastResult_;
    }

private:
    std::string_view text_;
    FoldedPattern pattern_;
    bool cached_ = false;
    size_t lastFrom_ = 0;
    size_t lastResult_ = npos;
};

// Plain search for a pattern that is looked for only once.
size_t FindOnce(std::string_view text, std::string_view pattern, size_t from = 0) {
    if (from > text.size()) {
        return npos;
    }
    return text.find(pattern, from);
}

std::string Concat(std::string_view a, std::string_view b, std::string_view c = {}) {
    std::string out;
    out.reserve(a.size() + b.size() + c.size());
    out.append(a).append(b).append(c);
    return out;
}

} // namespace

std::string XmlExtract(std::string_view data, std::string_view section, std::string_view tag, int mode,
                       TStringGridData* grid, int column) {
    // Mode 1 fills one column of rows 1..n; the other columns of those rows keep what earlier calls
    // put there, so several calls with different tags and columns build one table. Rows past the
    // last occurrence are removed at the end, which leaves row count 1 when the tag does not occur.
    const bool fillGrid = (grid != nullptr && mode == kXmlFillColumn);
    if (grid != nullptr && !fillGrid) {
        grid->SetRowCount(1);
    }
    int rowsFilled = 0;

    std::string_view work = data;
    if (!section.empty()) {
        const size_t p = ForwardFinder(data, Concat("<", section)).Find(0);
        if (p == npos) {
            if (fillGrid) {
                grid->SetRowCount(1);
            }
            return {};
        }
        // The window is as long as the 1-based position of the closing tag, searched in the whole
        // data; it starts right after "<" and the section name.
        const size_t q = ForwardFinder(data, Concat("</", section, ">")).Find(0);
        const size_t length = (q == npos) ? 0 : q + 1;
        const size_t start = p + 1 + section.size(); // never past the end: "<section" was found at p
        work = work.substr(start, length);
    }

    ForwardFinder plainStart(work, Concat("<", tag, ">"));
    ForwardFinder attributedStart(work, Concat("<", tag, " "));
    ForwardFinder closing(work, Concat("</", tag));

    std::string result;
    std::string_view lastValue;
    size_t from = 0;
    for (int n = 1;; ++n) {
        size_t b = plainStart.Find(from);
        if (b == npos) {
            b = attributedStart.Find(from);
            if (b == npos) {
                break;
            }
        }
        const size_t s = b + tag.size() + 1; // the ">" or blank that ends the tag name
        const size_t e = closing.Find(s);
        const std::string_view value = (e == npos) ? std::string_view() : work.substr(s + 1, e - s - 1);

        if (fillGrid) {
            if (grid->RowCount() < n + 1) {
                grid->SetRowCount(n + 1);
            }
            grid->SetCell(0, n, std::to_string(n));
            grid->SetCell(column, n, DecodeCharacterReferences(value));
            rowsFilled = n;
        } else if (mode == kXmlLastValue) {
            lastValue = value;
        } else if (mode == kXmlAllValues) {
            if (result.empty()) {
                result = DecodeCharacterReferences(value);
            } else {
                result.append(1, '\r').append(DecodeCharacterReferences(value));
            }
        }

        if (e == npos) {
            break;
        }
        from = e;
    }
    if (fillGrid) {
        grid->SetRowCount(rowsFilled + 1);
    }
    if (mode == kXmlLastValue) {
        result = DecodeCharacterReferences(lastValue);
    }
    return result;
}

// ---- TXmlExtractStream ----
//
// Each tag runs XmlExtract's loop on its own over the part of the reply kept in `buffer` (absolute
// positions; `base` is the position of buffer[0]). Every pattern the loop looks for begins with "<",
// so one pass over the "<" of the reply finds the occurrences of all of them in order, and each tag
// takes the ones its loop would find next: a plain start tag while it looks for a start, its closing
// tag while it reads a value. A "<" is looked at once the longest pattern fits behind it, so a step
// is taken only when more bytes cannot change it. Whether a start tag with attributes counts depends
// on the rest of the reply (XmlExtract takes one only when no plain start tag follows), so that is
// decided at Finish by XmlExtract's own searches over what is kept.

namespace {

struct StreamTag {
    explicit StreamTag(const std::string& tag)
        : name(tag), folded(LowerAscii(tag)), plainStart(Concat("<", tag, ">")),
          attributedStart(Concat("<", tag, " ")), closing(Concat("</", tag)) {}

    std::string name;
    std::string folded;
    FoldedPattern plainStart;
    FoldedPattern attributedStart;
    FoldedPattern closing;
    std::vector<std::string> values;
    bool done = false;
    bool seekingClose = false;
    size_t from = 0;        // XmlExtract's `from`: the next start tag is looked for from here
    size_t plainResume = 0; // no plain start tag begins in [from, plainResume)
    size_t valueStart = 0;  // while seekingClose: the first byte of the value
    size_t closeResume = 0; // while seekingClose: no closing tag begins in [valueStart, closeResume)

    // The first position this tag may still read.
    size_t Needed() const { return seekingClose ? valueStart : from; }

    // Which patterns of this tag begin at text[0] (a "<"): kPlainStart, kClosing or both (a name that
    // begins with "/"). text holds at least the longest pattern, or runs to the end of the reply.
    static constexpr int kPlainStart = 1;
    static constexpr int kClosing = 2;
    int At(std::string_view text) const {
        auto nameAt = [&](size_t at) {
            if (text.size() < at + name.size()) {
                return false;
            }
            for (size_t i = 0; i < name.size(); ++i) {
                if (Fold(text[at + i]) != static_cast<unsigned char>(folded[i])) {
                    return false;
                }
            }
            return true;
        };
        int found = 0;
        if (text.size() > name.size() + 1 && text[name.size() + 1] == '>' && nameAt(1)) {
            found |= kPlainStart;
        }
        if (text.size() > 1 && text[1] == '/' && nameAt(2)) {
            found |= kClosing;
        }
        return found;
    }

    // The patterns found at absolute position p, in order.
    void Take(std::string_view buffer, size_t base, size_t p, int found) {
        if (seekingClose && (found & kClosing) && p >= valueStart) {
            values.push_back(DecodeCharacterReferences(buffer.substr(valueStart - base, p - valueStart)));
            seekingClose = false;
            from = p;
            plainResume = p;
        }
        if (!seekingClose && (found & kPlainStart)) {
            valueStart = p + name.size() + 2;
            closeResume = valueStart;
            seekingClose = true;
        }
    }

    // The bytes before `scanned` have been looked at.
    void ScannedTo(size_t scanned) {
        if (seekingClose) {
            closeResume = std::max(closeResume, scanned);
        } else {
            plainResume = std::max(plainResume, scanned);
        }
    }

    // XmlExtract's loop over buffer, as far as the bytes so far decide it (all of it when final).
    // After the pass over every "<" it finds nothing new but what only the end decides.
    void Advance(std::string_view buffer, size_t base, bool final) {
        const size_t end = base + buffer.size();
        while (!done) {
            if (!seekingClose) {
                const size_t pos = std::max(from, plainResume);
                size_t b = plainStart.Search(buffer, pos - base);
                if (b == npos) {
                    if (!final) {
                        plainResume = std::max(pos, end - std::min(end, plainStart.Size() - 1));
                        return;
                    }
                    b = attributedStart.Search(buffer, from - base);
                    if (b == npos) {
                        done = true;
                        return;
                    }
                }
                // The ">" or blank that ends the tag name is at base + b + name.size() + 1.
                valueStart = base + b + name.size() + 2;
                closeResume = valueStart;
                seekingClose = true;
            }
            size_t e = closing.Search(buffer, closeResume - base);
            if (e == npos) {
                if (!final) {
                    closeResume = std::max(closeResume, end - std::min(end, closing.Size() - 1));
                    return;
                }
                values.emplace_back(); // no closing tag: an empty value ends the tag's list
                done = true;
                return;
            }
            e += base;
            values.push_back(DecodeCharacterReferences(buffer.substr(valueStart - base, e - valueStart)));
            seekingClose = false;
            from = e;
            plainResume = e;
        }
    }
};

} // namespace

struct TXmlExtractStream::State {
    std::vector<std::string> names;
    std::vector<StreamTag> tags;
    std::string buffer;
    size_t base = 0;
    size_t scanned = 0;   // every "<" before this absolute position has been looked at
    size_t unscanned = 0; // bytes fed since the last scan
    size_t longest = 0;   // the longest pattern: "</" + the longest tag name
    size_t scanEvery = 1; // bytes gathered before the tags are looked for again
    bool finished = false;
};

TXmlExtractStream::TXmlExtractStream(std::vector<std::string> tags, std::size_t scanEvery)
    : state_(std::make_unique<State>()) {
    state_->names = std::move(tags);
    state_->scanEvery = std::max<std::size_t>(1, scanEvery);
    Reset();
}

TXmlExtractStream::~TXmlExtractStream() = default;

void TXmlExtractStream::Reset() {
    State& s = *state_;
    s.tags.clear();
    s.tags.reserve(s.names.size());
    for (const std::string& name : s.names) {
        s.tags.emplace_back(name);
    }
    s.buffer.clear();
    s.base = 0;
    s.scanned = 0;
    s.unscanned = 0;
    s.longest = 0;
    for (const std::string& name : s.names) {
        s.longest = std::max(s.longest, name.size() + 2);
    }
    s.finished = false;
}

void TXmlExtractStream::Feed(std::string_view bytes) {
    State& s = *state_;
    if (s.finished) {
        return;
    }
    s.buffer.append(bytes);
    s.unscanned += bytes.size();
    if (s.unscanned >= s.scanEvery) {
        Scan(false);
    }
}

void TXmlExtractStream::Finish() {
    if (state_->finished) {
        return;
    }
    Scan(true);
    state_->finished = true;
    std::string().swap(state_->buffer);
}

bool TXmlExtractStream::Finished() const {
    return state_->finished;
}

std::size_t TXmlExtractStream::TagCount() const {
    return state_->tags.size();
}

std::vector<std::string>& TXmlExtractStream::Values(std::size_t tag) {
    return state_->tags.at(tag).values;
}

void TXmlExtractStream::Scan(bool final) {
    State& s = *state_;
    s.unscanned = 0;
    const std::string_view buffer = s.buffer;
    const size_t end = s.base + buffer.size();
    // A "<" is looked at when the longest pattern fits behind it, or when the reply is complete.
    const size_t frontier = final ? end : end - std::min(end, s.longest - 1);
    for (size_t p = s.scanned; p < frontier;) {
        const void* hit = std::memchr(buffer.data() + (p - s.base), '<', frontier - p);
        if (hit == nullptr) {
            break;
        }
        p = s.base + static_cast<size_t>(static_cast<const char*>(hit) - buffer.data());
        const std::string_view text = buffer.substr(p - s.base, s.longest + 1);
        for (StreamTag& tag : s.tags) {
            if (const int found = tag.At(text); found != 0) {
                tag.Take(buffer, s.base, p, found);
            }
        }
        ++p;
    }
    s.scanned = std::max(s.scanned, frontier);
    size_t needed = s.scanned; // the next pass starts there
    for (StreamTag& tag : s.tags) {
        tag.ScannedTo(s.scanned);
        if (final) {
            tag.Advance(buffer, s.base, true);
        }
        if (!tag.done) {
            needed = std::min(needed, tag.Needed());
        }
    }
    // What no tag reads any more goes, once there is enough of it to be worth the move.
    const size_t unneeded = needed - s.base;
    if (unneeded >= 4 * s.scanEvery && unneeded >= s.buffer.size() / 2) {
        s.buffer.erase(0, unneeded);
        s.base = needed;
    }
}

std::string XmlInnerText(std::string_view tag, std::string_view data) {
    const size_t p = FindOnce(data, Concat("<", tag, ">"));
    if (p == npos) {
        return {};
    }
    const size_t q = FindOnce(data, Concat("</", tag, ">"), p);
    const size_t start = p + tag.size() + 2;
    if (q == npos || q <= start) {
        return {};
    }
    return std::string(data.substr(start, q - start));
}

std::string XmlChildrenToList(std::string_view data, std::string_view tag, TStringGridData* grid) {
    const std::string inner = XmlInnerText(tag, data);
    const std::string_view text = inner;
    std::string values;
    int row = 0;
    size_t from = 0;
    for (;;) {
        if (grid != nullptr) {
            grid->SetRowCount(row);
        }
        const size_t a = FindOnce(text, "<", from);
        const size_t g = (a == npos) ? npos : FindOnce(text, ">", a);
        if (g == npos) {
            // No further child: this pass adds only the final CR, and its empty row lies outside the
            // grid. (Looking for a closing tag with an empty name here, from the start of the text,
            // could step backwards and repeat forever.)
            values.append(1, '\r');
            break;
        }
        const std::string_view name = text.substr(a + 1, g - a - 1);
        const size_t c = FindOnce(text, Concat("</", name, ">"), g + 1);
        const std::string_view value = (c == npos) ? std::string_view() : text.substr(g + 1, c - g - 1);
        const std::string decoded = DecodeCharacterReferences(value);
        values.append(1, '\r').append(decoded);
        if (c == npos) {
            // A child without its closing tag ends the list; its row stays outside the grid.
            break;
        }
        if (grid != nullptr) {
            grid->SetRowCount(row + 1);
            grid->SetCell(0, row, std::string(name));
            grid->SetCell(1, row, decoded);
        }
        from = c + 1;
        ++row;
    }
    return values;
}

std::string XmlFindElement(std::string_view data, std::string_view outer, std::string_view key,
                           std::string_view value) {
    const std::string startTag = Concat("<", outer, ">");
    const std::string endTag = Concat("</", outer, ">");
    const std::string keyStart = Concat("<", key, ">");
    const std::string keyEnd = Concat("</", key, ">");
    const std::string emptyElement = startTag + endTag;
    // Whether some <key>...</key> of the element holds the value once its references are decoded.
    auto holdsValue = [&](std::string_view element) {
        for (size_t at = FindOnce(element, keyStart); at != npos; at = FindOnce(element, keyStart, at + 1)) {
            const size_t from = at + keyStart.size();
            const size_t end = FindOnce(element, keyEnd, from);
            if (end == npos) {
                return false;
            }
            const std::string_view raw = element.substr(from, end - from);
            if (raw.find('&') == npos ? raw == value : DecodeCharacterReferences(raw) == value) {
                return true;
            }
        }
        return false;
    };

    // The working copy is kept as `head` + data[tail...]: removing an element joins the text before it
    // to the text after it. The text before the first start tag holds no start tag of its own, so of it
    // only the last (start tag length - 1) characters can still take part in a match across the join.
    std::string head;
    size_t tail = 0;
    const size_t keep = startTag.size() - 1;

    // First occurrence of `pattern` at `from` or later in head + data[tail...].
    auto find = [&](std::string_view pattern, size_t from) -> size_t {
        const std::string_view rest = data.substr(tail);
        if (from < head.size()) {
            const std::string joint = head + std::string(rest.substr(0, pattern.size()));
            const size_t hit = joint.find(pattern, from);
            if (hit != npos && hit < head.size()) {
                return hit;
            }
        }
        const size_t inRest = FindOnce(rest, pattern, from > head.size() ? from - head.size() : 0);
        return inRest == npos ? npos : inRest + head.size();
    };
    auto slice = [&](size_t pos, size_t length) {
        std::string out;
        out.reserve(length);
        if (pos < head.size()) {
            const size_t fromHead = std::min(length, head.size() - pos);
            out.append(head, pos, fromHead);
            pos += fromHead;
            length -= fromHead;
        }
        out.append(data.substr(tail + (pos - head.size()), length));
        return out;
    };

    for (;;) {
        const size_t p = find(startTag, 0);
        const size_t q = (p == npos) ? npos : find(endTag, p);
        if (p == npos || q == npos || q <= p + startTag.size()) {
            // The element read is the empty one: it ends the search (after its own check).
            return holdsValue(emptyElement) ? emptyElement : std::string();
        }
        std::string element = slice(p, q + endTag.size() - p);
        if (holdsValue(element)) {
            return element;
        }
        // Remove the element (it is the first occurrence of its own text, at p) and go on with the text
        // around it joined.
        const size_t oldHeadSize = head.size();
        const size_t kept = std::min(p, keep);
        head = slice(p - kept, kept);
        tail += q + endTag.size() - oldHeadSize;
    }
}

} // namespace parlomar
