#include "server/XMLParser.h"

#include "accounts/StringGrid.h"
#include "server/ReplyText.h"

#include <algorithm>
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

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(Fold(c));
    }
    return out;
}

// Searches one text for one pattern, ignoring the case of A-Z (Horspool's algorithm on the folded
// bytes, so the text itself is never copied or lower-cased). Searches move forward through the text:
// a result found from some start stays the answer for any later start up to it, so a loop that asks
// again from increasing positions scans each part of the text once.
class ForwardFinder {
public:
    ForwardFinder(std::string_view text, std::string_view pattern)
        : text_(text), pattern_(LowerAscii(pattern)) {
        const size_t m = pattern_.size();
        std::fill(std::begin(skip_), std::end(skip_), m);
        for (size_t i = 0; i + 1 < m; ++i) {
            skip_[static_cast<unsigned char>(pattern_[i])] = m - 1 - i;
        }
    }
    ForwardFinder(const ForwardFinder&) = delete;
    ForwardFinder& operator=(const ForwardFinder&) = delete;

    // First occurrence starting at `from` or later (0-based), or npos.
    size_t Find(size_t from) {
        if (cached_ && from >= lastFrom_ && (lastResult_ == npos || lastResult_ >= from)) {
            return lastResult_;
        }
        lastFrom_ = from;
        cached_ = true;
        lastResult_ = Search(from);
        return lastResult_;
    }

private:
    size_t Search(size_t pos) const {
        const size_t n = text_.size();
        const size_t m = pattern_.size();
        if (m == 0) {
            return pos <= n ? pos : npos;
        }
        const unsigned char last = static_cast<unsigned char>(pattern_[m - 1]);
        while (pos <= n && m <= n - pos) {
            const unsigned char c = Fold(text_[pos + m - 1]);
            if (c == last) {
                size_t j = m - 1;
                while (j > 0 && Fold(text_[pos + j - 1]) == static_cast<unsigned char>(pattern_[j - 1])) {
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

    std::string_view text_;
    std::string pattern_;
    size_t skip_[256];
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
