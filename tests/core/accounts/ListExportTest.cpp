// The CSV export, read back the way another program reads it: with Python's csv module.

#include "core/accounts/ListExport.h"

#include "core/Error.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

using Records = std::vector<std::vector<std::string>>;

// The records of a CSV file as Python's csv module reads them (UTF-8, strict decoding).
Records ReadWithPython(const std::filesystem::path& file) {
    const std::string command =
        "python3 -c 'import csv, sys\n"
        "rows = list(csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\", errors=\"strict\")))\n"
        "sys.stdout.buffer.write(\"\\x1e\".join(\"\\x1f\".join(r) for r in rows).encode())' '" +
        file.string() + "'";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    Records records;
    std::size_t start = 0;
    for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
        end = out.find('\x1e', start);
        std::string record = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::vector<std::string> fields;
        for (std::size_t f = 0, next = 0; next != std::string::npos; f = next + 1) {
            next = record.find('\x1f', f);
            fields.push_back(record.substr(f, next == std::string::npos ? std::string::npos : next - f));
        }
        records.push_back(fields);
    }
    return records;
}

} // namespace

TEST(ListExport, ReadsBackAsShownWithFormulasDisarmed) {
    TStringGridData grid(4, 5);
    const Records cells = {
        {"No.", "User name", "Domain, or not", "Note \"quoted\""},
        {"1", "plain", "a,b", "say \"hi\", then go"},
        {"2", "two\nlines", "cr\r\nlf", "=SUM(A1:A2)"},
        {"3", "-1", "+2-3", "@cmd"},
        {"4", "M\xC3\xBCller", "\xFF\xC3(bad)", ""},
    };
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 4; ++col)
            grid.SetCell(col, row, cells[static_cast<size_t>(row)][static_cast<size_t>(col)]);
    SettingsTestFolder folder;
    const auto file = folder.Path() / "list.csv";
    // The rows and columns given, in the order given.
    ExportListCsv(file, grid, {1, 2, 3}, {3, 1, 2, 4});
    EXPECT_EQ(ReadWithPython(file), (Records{
                                        {"User name", "Domain, or not", "Note \"quoted\""},
                                        {"-1", "'+2-3", "'@cmd"},
                                        {"plain", "a,b", "say \"hi\", then go"},
                                        {"two\nlines", "cr\r\nlf", "'=SUM(A1:A2)"},
                                        {"M\xC3\xBCller", "\xEF\xBF\xBD\xEF\xBF\xBD(bad)", ""},
                                    }));
    // Records end with CR LF; only fields that need quotes have them.
    EXPECT_EQ(SettingsTestFolder::Read(file).substr(0, 46),
              "User name,\"Domain, or not\",\"Note \"\"quoted\"\"\"\r\n");

    // A failed write leaves no file behind and keeps what was there.
    EXPECT_THROW(ExportListCsv(folder.Path() / "missing" / "list.csv", grid, {1}, {1}), Error);
    std::filesystem::create_directory(folder.Path() / "taken.csv");
    try {
        ExportListCsv(folder.Path() / "taken.csv", grid, {1}, {1});
        ADD_FAILURE() << "a folder in the way was written over";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + (folder.Path() / "taken.csv").string());
    }
    // Numbers stay numbers, whatever their sign; texts that merely start like one are guarded.
    const std::pair<const char*, const char*> fields[] = {
        {"-1", "-1"},          {"+2.5", "+2.5"}, {"-.5e-3", "-.5e-3"}, {"-0", "-0"},     {"-", "'-"},
        {"-1e", "'-1e"},       {"--1", "'--1"},  {"-1-1", "'-1-1"},    {"+.", "'+."},    {"-1 ", "'-1 "},
        {"-1,5", "\"'-1,5\""}, {"=1", "'=1"},    {"-inf", "'-inf"},    {"-0x1", "'-0x1"}};
    for (const auto& [text, written] : fields)
        EXPECT_EQ(CsvField(text), written) << text;

    // Private like the settings; a byte order mark on request.
    ExportListCsv(file, grid, {1}, {1}, true);
    EXPECT_EQ(SettingsTestFolder::Read(file), "\xEF\xBB\xBFUser name\r\nplain\r\n");
    EXPECT_EQ(std::filesystem::status(file).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"list.csv", "taken.csv"}));
}
