// ravelin-skinc: compiles an XML skin source into a binary skin with its 16-bit BMP pictures beside it,
// prints the tree of a binary skin (--dump), or draws one of its entries into a PNG (--render).
#include "Dump.h"
#include "Render.h"
#include "Sheet.h"
#include "SkinSource.h"
#include "SkinWriter.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <skin/FontRep.h>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: ravelin-skinc SOURCE.xml -o OUTPUT.skin\n"
                 "       ravelin-skinc --dump FILE.skin\n"
                 "       ravelin-skinc --render FILE.skin ENTRY --size WxH[@DPI] --out FILE.png [--lang FILE.lng]\n"
                 "                     [--sample FILE.txt] [--rects]\n"
                 "       ravelin-skinc --sheet FILE.skin --out FILE.png (--lang FILE.lng --sample FILE.txt)...\n";
    return 2;
}

int failure(std::string const& file, std::string const& message)
{
    std::cerr << "ravelin-skinc: " << file << ": " << message << "\n";
    return 1;
}

std::string folder_of(std::string const& path)
{
    auto const slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int dump(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return failure(path, "cannot be opened");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (!skinc::dump_skin(std::move(bytes), std::cout, error))
        return failure(path, error);
    return 0;
}

int compile(std::string const& source_path, std::string const& output)
{
    try {
        skinc::SkinSource const source = skinc::read_source(source_path);
        skinc::SkinWriter const writer(source, folder_of(source_path));
        std::string const folder = folder_of(output);
        for (auto const& picture : writer.pictures()) {
            std::string const bmp = (folder.empty() ? std::string() : folder + "/") + picture.name + ".bmp";
            skinc::write_bmp565(bmp, picture.pixels);
            if (picture.twice.width > 0)
                skinc::write_bmp565(bmp.substr(0, bmp.size() - 4) + "@2x.bmp", picture.twice);
        }
        std::ofstream out(output, std::ios::binary | std::ios::trunc);
        out.write(
            reinterpret_cast<char const*>(writer.bytes().data()), static_cast<std::streamsize>(writer.bytes().size()));
        out.close();
        if (!out)
            return failure(output, "cannot be written");
    } catch (skinc::CompileError const& error) {
        return failure(source_path, error.what());
    }
    return 0;
}

// --render FILE.skin ENTRY followed by its options in any order, each at most once.
int render(std::vector<std::string> const& args)
{
    skinc::RenderRequest request;
    request.skin = args[1];
    request.entry = args[2];
    bool sized = false;
    for (size_t i = 3; i < args.size(); ++i) {
        bool const has_value = i + 1 < args.size();
        if (args[i] == "--rects" && !request.rects)
            request.rects = true;
        else if (args[i] == "--size" && has_value && !sized) {
            if (!(sized = skinc::parse_size(args[++i], request)))
                return usage();
        } else if (args[i] == "--out" && has_value && request.output.empty())
            request.output = args[++i];
        else if (args[i] == "--lang" && has_value && request.lng.empty())
            request.lng = args[++i];
        else if (args[i] == "--sample" && has_value && request.sample.empty())
            request.sample = args[++i];
        else
            return usage();
    }
    if (!sized || request.output.empty())
        return usage();
    std::string error;
    uint64_t const missing = skin::FontRep::missing_glyphs_drawn();
    if (!skinc::render_entry(request, std::cout, error))
        return failure(request.skin, error);
    // Sample content is where names in any script show: say how many characters no installed font has.
    if (!request.sample.empty())
        std::cout << "missing glyphs: " << skin::FontRep::missing_glyphs_drawn() - missing << "\n";
    return 0;
}

// --sheet FILE.skin --out FILE.png, then --lang and --sample pairs.
int sheet(std::vector<std::string> const& args)
{
    if (args.size() < 6 || args[2] != "--out" || (args.size() - 4) % 4 != 0)
        return usage();
    std::vector<skinc::SheetLanguage> languages;
    for (size_t i = 4; i < args.size(); i += 4) {
        if (args[i] != "--lang" || args[i + 2] != "--sample")
            return usage();
        languages.push_back({ args[i + 1], args[i + 3] });
    }
    std::string error;
    if (!skinc::write_sheet(args[1], languages, args[3], error))
        return failure(args[1], error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> const args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--dump")
        return dump(args[1]);
    if (args.size() >= 3 && args[0] == "--render")
        return render(args);
    if (!args.empty() && args[0] == "--sheet")
        return sheet(args);
    if (args.size() == 3 && args[1] == "-o")
        return compile(args[0], args[2]);
    return usage();
}
