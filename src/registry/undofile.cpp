#include "registry/undofile.h"

#include "framework/strings.h"
#include "registry/regscan.h"

#include <cstring>
#include <vector>

std::string MakeUndoFileName(const std::tm& localTime) {
    char name[64];
    if (!std::strftime(name, sizeof name, "%d %b %Y %I %M %p", &localTime)) return std::string();
    return std::string(name) + ".reg";
}

std::string MakeUndoFileName() {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    return MakeUndoFileName(local);
}

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// All the bytes as "xx," with a continuation after every 21st byte past the first (so the
// first line carries 22 bytes, the others 21) while more bytes follow.
std::string ByteList(const BYTE* bytes, DWORD size) {
    std::string out;
    out.reserve(size * 3 + size / 7 + 2);
    for (DWORD i = 0; i < size; ++i) {
        out += Format("%02x,", bytes[i]);
        if (i > 0 && i % 21 == 0 && i + 1 < size) out += "\\\n";
    }
    out += "\n";
    return out;
}

// A string the quoted form gives back unchanged: no line breaks (a line break would end the
// line in the middle of the value) and nothing stored after its terminating zero.
bool QuotedFormKeepsString(const BYTE* bytes, DWORD size) {
    DWORD i = 0;
    for (; i < size && bytes[i]; ++i)
        if (bytes[i] == '\r' || bytes[i] == '\n') return false;
    for (; i < size; ++i)
        if (bytes[i]) return false;
    return true;
}

}  // namespace

std::string FormatRegData(DWORD type, const BYTE* bytes, DWORD size) {
    switch (type) {
    case REG_SZ:
        if (QuotedFormKeepsString(bytes, size)) {
            std::string text(reinterpret_cast<const char*>(bytes), size);
            text.resize(std::strlen(text.c_str()));
            return "\"" + Escape(text) + "\"\n";
        }
        break;
    case REG_DWORD:
        if (size == 4) {
            DWORD v = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
            return Format("dword:%08lx\n", v);
        }
        break;
    case REG_BINARY:
        return "hex:" + ByteList(bytes, size);
    default:
        break;
    }
    // Every other type, and values the forms above would change, as typed bytes. The registry
    // editor reads the type number in hexadecimal.
    return Format("hex(%lx):", type) + ByteList(bytes, size);
}

std::string FormatRegValueName(const std::string& name) {
    if (name.empty()) return "@ = ";
    return "\"" + Escape(name) + "\" = ";
}

std::string RegKeyFullName(HKEY root, const std::string& keyPath) {
    RegRootInfo info;
    std::string rootName = GetRegRootInfo(root, info) ? info.name : "";
    return keyPath.empty() ? rootName : rootName + "\\" + keyPath;
}

bool UndoFile::open(const std::string& path) {
    close();
    file_ = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    path_ = path;
    if (!Write("REGEDIT4\n\n")) {
        close();
        return false;
    }
    return true;
}

void UndoFile::close() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool UndoFile::Write(const std::string& text) {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(file_, zero, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return ::WriteFile(file_, out.data(), static_cast<DWORD>(out.size()), &written, nullptr) &&
           written == out.size();
}

bool UndoFile::ExportValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    std::string entry = "\n[" + RegKeyFullName(root, keyPath) + "]\n";
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return Write(entry) && rc == ERROR_FILE_NOT_FOUND;
    std::vector<BYTE> data;
    DWORD type = REG_NONE, size = 0;
    for (int attempt = 0;; ++attempt) {
        rc = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) break;
        data.assign(size + 1, 0);
        DWORD got = size;
        rc = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, data.data(), &got);
        size = got;
        // The value grew between the two calls: ask again.
        if (rc != ERROR_MORE_DATA || attempt == 3) break;
    }
    ::RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND) return Write(entry);
    if (rc != ERROR_SUCCESS) {
        Write(entry);
        return false;
    }
    return Write(entry + FormatRegValueName(valueName) + FormatRegData(type, data.data(), size));
}

bool UndoFile::ExportKey(HKEY root, const std::string& keyPath) {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return rc == ERROR_FILE_NOT_FOUND;
    bool ok = true;
    for (DWORD index = 0; ok; ++index) {
        char name[261];
        DWORD len = sizeof name;
        rc = ::RegEnumKeyExA(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ok = rc == ERROR_SUCCESS && ExportKey(root, keyPath.empty() ? std::string(name) : keyPath + "\\" + name);
    }
    // The key's own header comes even when it has no values, so an empty key comes back too.
    if (ok) ok = ExportValue(root, keyPath, "");
    // Value names of any length; a name may take two bytes per character in the ANSI code page.
    std::vector<char> name;
    DWORD capacity = 0;
    int retries = 0;
    for (DWORD index = 0; ok;) {
        if (capacity == 0) {
            DWORD maxName = 0;
            ok = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                    nullptr, nullptr, nullptr) == ERROR_SUCCESS;
            if (!ok) break;
            capacity = maxName * 2 + 2;
        }
        name.assign(capacity + 1, '\0');
        DWORD len = capacity;
        rc = ::RegEnumValueA(key, index, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA && ++retries < 8) {
            // A longer name was added meanwhile.
            capacity *= 2;
            continue;
        }
        ok = rc == ERROR_SUCCESS && ExportValue(root, keyPath, name.data());
        ++index;
        retries = 0;
    }
    ::RegCloseKey(key);
    return ok;
}
