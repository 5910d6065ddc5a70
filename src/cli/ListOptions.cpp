#include "cli/ListOptions.h"

#include "core/Text.h"
#include "core/accounts/GridSort.h"
#include "core/server/Global.h"

#include <algorithm>

namespace parlomar::cli {

namespace {

bool FieldName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
}

} // namespace

void ListOptions::Add(CLI::App& app, bool accounts) {
    app.add_option("--columns", columns, "the fields shown, separated by commas (the server's field names)");
    app.add_option("--sort", sort, "sort by this column (\"-column\": descending)");
    if (accounts)
        app.add_option("--state", state, "which accounts")
            ->check(CLI::IsMember({"all", "active", "suspended"}));
    app.add_option("--format", format, "the output format")->check(CLI::IsMember({"table", "csv", "json"}));
}

std::vector<std::string> ListOptions::Columns(const std::vector<std::string>& defaults) const {
    if (Trimmed(columns).empty())
        return defaults;
    std::vector<std::string> list;
    std::string_view rest = columns;
    while (true) {
        const auto comma = rest.find(',');
        const std::string name(Trimmed(rest.substr(0, comma)));
        if (!FieldName(name))
            throw Failure(kExitUsage, "\"" + name + "\" is no field name (--columns)");
        // A field the defaults know by another letter case is read by the defaults' name.
        const auto known = std::find_if(defaults.begin(), defaults.end(), [&](const std::string& field) {
            return EqualIgnoringAsciiCase(field, name);
        });
        list.push_back(known != defaults.end() ? *known : name);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return list;
}

std::vector<std::string> ListOptions::Fields(const std::vector<std::string>& shown) const {
    std::vector<std::string> fields = shown;
    if (state != "all" && std::find(fields.begin(), fields.end(), "suspended") == fields.end())
        fields.emplace_back("suspended");
    return fields;
}

bool ListOptions::Admits(const std::vector<std::string>& fields,
                         const std::vector<std::string_view>& row) const {
    if (state == "all")
        return true;
    const auto at =
        static_cast<std::size_t>(std::find(fields.begin(), fields.end(), "suspended") - fields.begin());
    const std::string_view value = at < row.size() ? row[at] : std::string_view();
    // As the filter bar: "active" leaves out the suspended accounts, "suspended" the active ones.
    return state == "active" ? value != "1" : value != "0";
}

void ListOptions::Sort(Rows& rows) const {
    if (sort.empty())
        return;
    const bool descending = sort.front() == '-';
    const std::string name = descending ? sort.substr(1) : sort;
    const auto found = std::find_if(rows.columns.begin(), rows.columns.end(), [&](const std::string& column) {
        return EqualIgnoringAsciiCase(column, name);
    });
    if (found == rows.columns.end())
        throw Failure(kExitUsage, "cannot sort by \"" + name + "\": it is not among the columns");
    const auto col = static_cast<std::size_t>(found - rows.columns.begin());
    std::stable_sort(rows.rows.begin(), rows.rows.end(), [&](const auto& a, const auto& b) {
        const int order = CompareListTexts(a[col], b[col]);
        return descending ? order > 0 : order < 0;
    });
}

std::string AccountSearchUrl(const std::string& baseUrl, const std::string& text, const std::string& by) {
    const std::string search = TrimmedSearchText(text);
    if (search.empty())
        return ListAccountsUrl(baseUrl, "user", "");
    if (by.empty())
        return SearchAccountsUrl(baseUrl, search);
    if (by == "domain") {
        const std::string ascii = AsciiDomainName(search);
        return ListAccountsUrl(baseUrl, by, ascii.empty() ? search : ascii);
    }
    return ListAccountsUrl(baseUrl, by, search);
}

ListResult FetchList(const SessionPtr& session, const SavedServer& server, const std::string& url,
                     const ListOptions& options, const std::vector<std::string>& columns,
                     const ListReader::RowSink& stream) {
    ListResult result;
    const std::vector<std::string> fields = options.Fields(columns);
    auto control = std::make_shared<RequestControl>();
    auto reader = std::make_shared<ListReader>(fields, [&](const std::vector<std::string_view>& row) {
        if (!options.Admits(fields, row))
            return;
        if (stream) {
            stream(row);
            return;
        }
        result.rows.emplace_back(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(columns.size()));
    });
    control->reader = reader;
    const HttpReply reply = HttpGet(session, url, control);
    result.failure = ReplyFailure(
        reply, server,
        reply.status == kStatusOk ? std::optional<bool>(reader->SignedOut(reply.httpStatus)) : std::nullopt);
    if (!result.failure && reader->RowsHanded() == 0) {
        // No rows: a refusal says why (an invalid search expression ...).
        const ApiResult answer{XmlExtract(reader->Head(), "", "status", kXmlLastValue),
                               StatusMessageOf(reader->Head())};
        if (!answer.IsSuccess() && !answer.statusmsg.empty())
            result.failure = Failure(kExitFailed, ServerLabel(server) + ": " + answer.statusmsg);
    }
    return result;
}

} // namespace parlomar::cli
