#include "netrc_file.h"

#include "atomic_file.h"
#include "file_system.h"
#include "file_trust.h"
#include "user_places.h"

#include <cerrno>
#include <strings.h>
#include <vector>

namespace {

struct Word {
    std::string text;
    std::size_t start; // where the word begins in the file
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Splits netrc text into words, skipping macdef blocks (up to an empty line).
std::vector<Word> SplitWords(const std::string& text) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        Word w{"", i};
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                w.text += text[i];
            }
            ++i; // the closing quote
        } else {
            while (i < text.size() && !IsBlank(text[i]))
                w.text += text[i++];
        }
        if (w.text == "macdef") {
            std::size_t end = text.find("\n\n", i);
            i = end == std::string::npos ? text.size() : end + 2;
        }
        words.push_back(std::move(w));
    }
    return words;
}

bool StartsEntry(const std::string& word) {
    return word == "machine" || word == "default" || word == "macdef";
}

// A word that needs quotes to stay one word.
std::string Quoted(const std::string& word) {
    bool plain = !word.empty() && word[0] != '"';
    for (char c : word)
        if (IsBlank(c) || c == '\\') plain = false;
    if (plain) return word;
    std::string out = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool ReadWholeFile(int fd, std::string& text) {
    char piece[4096];
    for (;;) {
        long n = ReadSome(fd, piece, sizeof piece);
        if (n < 0) return false;
        if (n == 0) break;
        text.append(piece, static_cast<std::size_t>(n));
    }
    WipeBytes(piece, sizeof piece);
    return true;
}

} // namespace

bool FindNetrcEntry(const std::string& text, const std::string& host, kvCredentials& out) {
    std::vector<Word> words = SplitWords(text);
    bool found = false;
    kvCredentials fallback;
    for (std::size_t i = 0; i < words.size() && !found; ++i) {
        bool machine = words[i].text == "machine";
        if (!machine && words[i].text != "default") continue;
        bool mine = machine && i + 1 < words.size() &&
                    strcasecmp(words[i + 1].text.c_str(), host.c_str()) == 0;
        bool isDefault = !machine && fallback.user.empty();
        if (!mine && !isDefault) continue;
        kvCredentials entry;
        for (std::size_t j = i + (machine ? 2 : 1); j < words.size() && !StartsEntry(words[j].text);
             j += 2) {
            if (j + 1 >= words.size()) break;
            if (words[j].text == "login") entry.user = words[j + 1].text;
            if (words[j].text == "password") entry.password = words[j + 1].text;
        }
        if (mine) {
            out = entry;
            found = true;
        } else {
            fallback = entry;
        }
    }
    for (Word& w : words)
        WipeBytes(&w.text[0], w.text.size());
    if (!found) out = fallback;
    return !out.user.empty();
}

kvNetrcStatus ReadNetrcFile(const std::string& path, const std::string& host, kvCredentials& out) {
    int fd = OpenSettingsFile(path);
    if (fd < 0) {
        if (errno == ENOENT) return kvNetrcStatus::Missing;
        return errno == ELOOP ? kvNetrcStatus::Untrusted : kvNetrcStatus::Unreadable;
    }
    if (KindOfOpen(fd) != kvFileKind::Regular) {
        CloseFile(fd);
        return kvNetrcStatus::Unreadable;
    }
    if (OthersMayRead(fd)) {
        CloseFile(fd);
        return kvNetrcStatus::Unsafe;
    }
    if (TrustOfOpenFile(fd, path) != kvFileTrust::Trusted) {
        CloseFile(fd);
        return kvNetrcStatus::Untrusted;
    }
    std::string text;
    bool ok = ReadWholeFile(fd, text);
    CloseFile(fd);
    bool found = ok && FindNetrcEntry(text, host, out);
    WipeBytes(&text[0], text.size());
    if (!ok) return kvNetrcStatus::Unreadable;
    return found ? kvNetrcStatus::Found : kvNetrcStatus::NotFound;
}

std::string DefaultNetrcPath() {
    return UserNetrcFile();
}

kvCredentialSource NetrcCredentials(const std::string& path) {
    return [path](const std::string& host, kvCredentials& out, std::string& problem) {
        kvNetrcStatus status =
            path.empty() ? kvNetrcStatus::Missing : ReadNetrcFile(path, host, out);
        switch (status) {
        case kvNetrcStatus::Found:
            return kvCredentialAnswer::Given;
        case kvNetrcStatus::Unsafe:
        case kvNetrcStatus::Unreadable:
        case kvNetrcStatus::Untrusted:
            problem = NetrcRefusal(status, path);
            return kvCredentialAnswer::Refused;
        default:
            return kvCredentialAnswer::None;
        }
    };
}

std::string NetrcRefusal(kvNetrcStatus status, const std::string& path) {
    if (status == kvNetrcStatus::Unsafe)
        return path + " can be read by other users; make it private with chmod 600 " + path;
    if (status == kvNetrcStatus::Untrusted)
        return path + " can be changed by other users; its logins are not used";
    return "Cannot read the netrc file " + path;
}

bool RememberInNetrc(const std::string& path, const std::string& host, const kvCredentials& login,
                     std::string& problem) {
    std::string text;
    int fd = OpenSettingsFile(path);
    if (fd >= 0) {
        bool ok = ReadWholeFile(fd, text);
        CloseFile(fd);
        if (!ok) {
            problem = "cannot read " + path;
            return false;
        }
    } else if (errno != ENOENT) {
        problem = "cannot read " + path;
        return false;
    }

    // Drop the host's old entries, from "machine HOST" up to the next entry.
    std::vector<Word> words = SplitWords(text);
    std::string kept;
    std::size_t copyFrom = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i].text != "machine" || i + 1 >= words.size() ||
            strcasecmp(words[i + 1].text.c_str(), host.c_str()) != 0)
            continue;
        std::size_t j = i + 2;
        while (j < words.size() && !StartsEntry(words[j].text))
            ++j;
        kept.append(text, copyFrom, words[i].start - copyFrom);
        copyFrom = j < words.size() ? words[j].start : text.size();
        i = j - 1;
    }
    kept.append(text, copyFrom, std::string::npos);
    for (Word& w : words)
        WipeBytes(&w.text[0], w.text.size());
    WipeBytes(&text[0], text.size());
    if (!kept.empty() && kept.back() != '\n') kept += '\n';
    kept += "machine " + Quoted(host) + " login " + Quoted(login.user) + " password " +
            Quoted(login.password) + "\n";

    kvAtomicFile file(path.c_str());
    file.MakePrivate();
    bool written = file.IsOpen() && file.Write(kept.data(), kept.size()) && file.Commit();
    WipeBytes(&kept[0], kept.size());
    if (!written) problem = "cannot write " + path;
    return written;
}
