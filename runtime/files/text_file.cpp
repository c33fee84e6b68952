// runtime/files/text_file.cpp: numbered text files, written and read line by line through their buffers.
#include "runtime/files/files.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "runtime/files/buffered_file.h"

namespace lum {
namespace {

// Numbers 0 and 1 are all the run uses; 16 first slots leave room without ever growing.
constexpr std::size_t FIRST_FILE_SLOTS = 16;
constexpr char CR = '\r';
constexpr char LF = '\n';

ObjectTable<BufferedFile>& file_table() {
    static ObjectTable<BufferedFile> table(FIRST_FILE_SLOTS);
    return table;
}

// Negative numbers other than ANY_NUMBER name no slot and can never be opened.
bool usable_number(ObjectNumber number) { return number >= 0 || number == ANY_NUMBER; }

std::intptr_t place_file(ObjectNumber number, OsFile file) {
    if (!file.is_open()) return 0;
    const std::intptr_t handle = file.handle_value();
    const auto placed = file_table().place(number, std::make_unique<BufferedFile>(std::move(file)));
    if (placed.object == nullptr) return 0;
    return number == ANY_NUMBER ? placed.number : handle;
}

bool read_byte(BufferedFile& file, char& byte) { return file.read(&byte, 1) == 1; }

} // namespace

std::intptr_t create_text_file(ObjectNumber number, std::string_view path) {
    if (!usable_number(number)) return 0;
    // The old file goes first: it may hold the same path with a sharing mode that would refuse the new open.
    file_table().free(number);
    OsFile file = OsFile::create_read_write(path);
    if (!file.is_open()) file = OsFile::truncate_existing(path);
    return place_file(number, std::move(file));
}

std::intptr_t open_text_file(ObjectNumber number, std::string_view path) {
    if (!usable_number(number)) return 0;
    file_table().free(number);
    return place_file(number, OsFile::open_read(path));
}

std::int32_t write_text_line(ObjectNumber number, std::string_view text) {
    BufferedFile* file = file_table().find(number);
    if (file == nullptr) return 0;
    constexpr auto max_piece = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 2);
    const auto length = static_cast<std::int32_t>(std::min(text.size(), max_piece));
    const std::int32_t written = file->write(text.data(), length);
    return written + file->write("\r\n", 2);
}

bool at_end_of_file(ObjectNumber number) {
    BufferedFile* file = file_table().find(number);
    char byte = 0;
    if (file == nullptr || !read_byte(*file, byte)) return true;
    file->unread_one();
    return false;
}

std::string read_text_line(ObjectNumber number) {
    std::string line;
    BufferedFile* file = file_table().find(number);
    if (file == nullptr) return line;
    line.reserve(BufferedFile::BUFFER_SIZE);
    char byte = 0;
    while (read_byte(*file, byte) && byte != 0 && byte != LF) {
        if (byte != CR) {
            line.push_back(byte);
            continue;
        }
        // A CR ends the line; an LF right after it belongs to the same line end, anything else to the next line.
        if (read_byte(*file, byte) && byte != LF) file->unread_one();
        break;
    }
    return line;
}

void close_text_file(ObjectNumber number) {
    if (number == ANY_NUMBER) {
        file_table().free_all();
        return;
    }
    file_table().free(number);
}

void close_all_files() { file_table().free_all(); }

bool file_can_be_created(std::string_view path) { return OsFile::open_write_keep(path).is_open(); }

} // namespace lum
