#include "cr2file.h"

namespace ConversionServer {

std::string renderCr2(const Garment& garment, const ConversionRequest& request)
{
    std::string text;
    const auto line = [&text](int depth, const std::string& content) {
        text.append(static_cast<std::size_t>(depth), '\t');
        text += content;
        text += '\n';
    };
    line(0, "{");
    line(0, "version");
    line(1, "{");
    line(1, "number 4.01");
    line(1, "}");
    line(0, "figure");
    line(1, "{");
    line(1, "name " + garment.displayName);
    line(1, "conformTarget " + request.figure);
    line(1, "vendor " + request.vendor);
    line(1, "garment " + request.clothing);
    if (!garment.description.empty())
        line(1, "description " + garment.description);
    line(1, "pieces");
    line(2, "{");
    for (const std::string& piece : garment.pieces)
        line(2, "piece " + piece);
    line(2, "}");
    line(1, "}");
    line(0, "}");
    return text;
}

} // namespace ConversionServer
