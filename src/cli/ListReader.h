#pragma once

// A list reply (listaccts, listpkgs) read while it arrives: each row is handed on as soon as the
// values of all its fields are in, so a long list never needs to be held. Row n is the n-th value
// of each field, as the window's list reads it.

#include "core/server/HttpTransport.h"
#include "core/server/XMLParser.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar::cli {

class ListReader : public ReplyReader {
public:
    using RowSink = std::function<void(const std::vector<std::string_view>& row)>;
    ListReader(std::vector<std::string> fields, RowSink sink);

    void Restart() override;
    void Take(std::string_view bytes) override;
    void Finish() override;
    bool TakesBody() const override { return true; }

    std::size_t RowsHanded() const { return handed_; }
    // The beginning of the reply (all of it while no row was handed on): what a refusal says.
    const std::string& Head() const { return head_; }
    // The reply refused the credentials (no server marker at its start).
    bool SignedOut(long httpStatus) const;

private:
    void Hand(bool final);

    TXmlExtractStream values_;
    RowSink sink_;
    std::size_t next_ = 0;   // the first row of the values held that was not handed on
    std::size_t handed_ = 0; // rows handed on since the last Restart
    std::size_t skip_ = 0;   // rows handed on before a Restart: not handed again
    std::size_t bytes_ = 0;
    std::string head_;
    std::vector<std::string_view> row_;
};

} // namespace parlomar::cli
