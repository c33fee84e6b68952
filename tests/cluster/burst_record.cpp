// tests/cluster/burst_record.cpp: the burst's record, written once at its end and read back by the checker.
#include "burst_record.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lum::cluster {
namespace {

std::string one_field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return text;
}

template <typename Number> Number number_from(const std::string& text, const std::string& line) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::runtime_error("not a number in the record: " + line);
    return value;
}

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

void write_records(const std::filesystem::path& file, const std::vector<UploadRecord>& records) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const UploadRecord& r : records) {
        out << r.index << '\t' << one_field(r.file_name) << '\t' << one_field(r.source) << '\t' << r.size << '\t'
            << r.sha256 << '\t' << r.status << '\t' << (r.told_id ? std::to_string(*r.told_id) : "-") << '\t'
            << r.latency_us << '\t' << one_field(r.answer) << '\n';
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

std::vector<UploadRecord> read_records(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::vector<UploadRecord> records;
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = fields_of(line);
        if (f.size() != 9) throw std::runtime_error("not a record line: " + line);
        UploadRecord r;
        r.index = number_from<std::size_t>(f[0], line);
        r.file_name = f[1];
        r.source = f[2];
        r.size = number_from<std::uint64_t>(f[3], line);
        r.sha256 = f[4];
        r.status = number_from<unsigned>(f[5], line);
        if (f[6] != "-") r.told_id = number_from<std::int64_t>(f[6], line);
        r.latency_us = number_from<std::uint64_t>(f[7], line);
        r.answer = f[8];
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace lum::cluster
