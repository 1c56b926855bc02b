// Texts made from the columns of a CSV row: "{serial}", "(01){gtin}(21){serial}".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/status.h"

namespace glyphrun::cli {

class Template {
public:
    // `text` with each {NAME} a column of `header`; "{{" and "}}" stand for
    // a brace. Nothing, with the reason in `error`, for a name the header
    // lacks or a brace left open.
    static std::optional<Template> Parse(std::string_view text, const std::vector<std::string>& header,
                                         std::string& error);

    // The value of column `column` of `header` alone.
    static Template Column(const std::vector<std::string>& header, int32_t column);

    // The text with the row's values; `fields` holds one for each column.
    std::string Fill(const std::vector<std::string>& fields) const;
    // An output name: each run of '#' in the template's own text becomes
    // `number` (as BatchOutputName), and each value must be a safe name
    // within its folder, else the reason names the column and the value.
    Status FillName(const std::vector<std::string>& fields, int64_t number, std::string& name) const;

private:
    struct Piece {
        std::string text;     // literal text, when column is -1
        int32_t column = -1;  // the column whose value goes here
    };
    std::vector<Piece> pieces_;
    std::vector<std::string> header_;
};

}  // namespace glyphrun::cli
