// ravelin-skinc: compiles an XML skin source into a binary skin with its 16-bit BMP pictures beside it,
// prints the tree of a binary skin (--dump), or draws one of its entries into a PNG (--render).
#include "Dump.h"
#include "Render.h"
#include "SkinSource.h"
#include "SkinWriter.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: ravelin-skinc SOURCE.xml -o OUTPUT.skin\n"
                 "       ravelin-skinc --dump FILE.skin\n"
                 "       ravelin-skinc --render FILE.skin ENTRY --size WxH[@DPI] --out FILE.png\n";
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

// --render FILE.skin ENTRY followed by --size and --out in either order.
int render(std::vector<std::string> const& args)
{
    skinc::RenderRequest request;
    request.skin = args[1];
    request.entry = args[2];
    bool sized = false;
    for (size_t i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == "--size" && !sized)
            sized = skinc::parse_size(args[i + 1], request);
        else if (args[i] == "--out" && request.output.empty())
            request.output = args[i + 1];
        else
            return usage();
    }
    if (!sized || request.output.empty())
        return usage();
    std::string error;
    if (!skinc::render_entry(request, error))
        return failure(request.skin, error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> const args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--dump")
        return dump(args[1]);
    if (args.size() == 7 && args[0] == "--render")
        return render(args);
    if (args.size() == 3 && args[1] == "-o")
        return compile(args[0], args[2]);
    return usage();
}
