// The editor's reading of a package list reply: the first line names the package, the rest is the
// reply. Every editor kind fills from it and builds its query.
#include "core/accounts/EditorQuery.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t end = text.find('\n');
    const std::string_view name = text.substr(0, end);
    const std::string_view reply = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    (void)parlomar::PlanListItems(reply, "(choose)");
    for (const auto& [kind, action] : {std::pair{parlomar::kPackageEditor, parlomar::kEditPackage},
                                       std::pair{parlomar::kAccountEditor, parlomar::kNoPackageAction}}) {
        parlomar::TEditorModel model(kind, action);
        model.FillFromPackage(reply, name);
        for (int field = 0; field < static_cast<int>(model.Fields().size()); ++field) {
            if (model.Text(field).size() > reply.size())
                __builtin_trap(); // a value longer than the reply it came from
        }
        (void)model.BuildQuery("(choose)");
    }
    return 0;
}
