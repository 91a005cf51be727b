// Archive dumps: the one text format behind export, import, the clipboard and
// "defaultLibrary". A dump holds some groups, some categories of one group or some patches
// of one category; every section closes with an end line that repeats its name.
#include "patch/LibraryMessages.h"
#include "patch/PatchLibrary.h"
#include "patch/TextTrim.h"

#include "platform/Diagnostics.h"
#include "platform/Files.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace moraine {

namespace {

constexpr std::string_view kHeader = "Moraine Deck Version 1.0 Dump\n";
constexpr std::string_view kStartPatch = "Start Patch:";
constexpr std::string_view kCategoryDump = "Category Dump:";

bool startsWith(std::string_view line, std::string_view marker) {
    return line.substr(0, marker.size()) == marker;
}

// A name read from a dump; blank ones become "Untitled", as the list files would have
// them, so that making a name unique never starts it with a space.
std::string nameFrom(std::string_view line) {
    const std::string_view name = trimmed(line);
    return name.empty() ? std::string(kUntitledName) : std::string(name);
}

// Section lines carry names; a line break inside one would end the line early.
std::string oneLine(const std::string& name) {
    std::string s = name;
    std::replace_if(
        s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return s;
}

// The message closing an import or paste of `count` items of `kind`.
std::string readMessage(int kind, bool paste, long long count) {
    static constexpr LibraryMessage kImported[] = {LibraryMessage::GroupsImported,
                                                   LibraryMessage::CategoriesImported,
                                                   LibraryMessage::PatchesImported};
    static constexpr LibraryMessage kPasted[] = {LibraryMessage::GroupsPasted,
                                                 LibraryMessage::CategoriesPasted,
                                                 LibraryMessage::PatchesPasted};
    static constexpr CountEndings kEndings[] = {kGroupEndings, kCategoryEndings, kPatchEndings};
    const LibraryMessage id = (paste ? kPasted : kImported)[kind];
    return libraryText(id, {std::to_string(count), countEnding(count, kEndings[kind])});
}

// ---------------------------------------------------------------- writing

void appendPatchSection(std::string& out, const PatchRecord& patch, std::vector<char>& buffer) {
    const std::string name = oneLine(patch.name);
    out += "Start Patch: " + name + "\n";
    const int length = patch.writeText(buffer.data(), int(buffer.size()));
    out.append(buffer.data(), size_t(std::max(length, 0)));
    if (length > 0 && buffer[size_t(length) - 1] != '\n') out += '\n';
    out += "End Patch: " + name + "\n";
}

void appendCategorySection(std::string& out, const PatchCategory& category,
                           std::vector<char>& buffer) {
    const std::string name = oneLine(category.name);
    out += "Category Dump: " + name + "\n";
    for (const auto& patch : category.patches) appendPatchSection(out, *patch, buffer);
    out += "End Category Dump: " + name + "\n";
}

void appendGroupSection(std::string& out, const PatchGroup& group, std::vector<char>& buffer) {
    const std::string name = oneLine(group.name);
    out += "Group Dump: " + name + "\n";
    for (const auto& category : group.categories) appendCategorySection(out, *category, buffer);
    out += "End Group Dump: " + name + "\n";
}

template <typename Items> bool allInside(const std::vector<int>& picks, const Items& items) {
    return std::all_of(picks.begin(), picks.end(),
                       [&](int i) { return i >= 0 && size_t(i) < items.size(); });
}

// ---------------------------------------------------------------- reading

// Walks the text line by line; CR, LF and CR LF all end a line. Every step moves forward,
// so no count read from the file can make the reader loop longer than the text.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    size_t position() const { return pos_; }
    std::string_view from(size_t start, size_t end) const {
        return text_.substr(start, end - start);
    }

    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (pos_ < text_.size()) {
            const bool pair =
                text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n';
            pos_ += pair ? 2 : 1;
        }
        return true;
    }

    // The next line that is not blank.
    bool nextFilled(std::string_view& line) {
        while (next(line))
            if (!trimmed(line).empty()) return true;
        return false;
    }

    // Moves past the next line opening with `marker`; `rest` is the remainder, trimmed.
    bool find(std::string_view marker, std::string_view& rest) {
        std::string_view line;
        while (next(line)) {
            if (startsWith(line, marker)) {
                rest = trimmed(line.substr(marker.size()));
                return true;
            }
        }
        return false;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

bool isEndLine(std::string_view line, std::string_view marker, std::string_view name) {
    return startsWith(line, marker) && trimmed(line.substr(marker.size())) == name;
}

// "Moraine Deck Version <number> Dump", words separated by any white space. The version
// is not used.
bool isHeader(std::string_view line) {
    static constexpr std::string_view kWords[] = {"Moraine", "Deck", "Version", "", "Dump"};
    size_t word = 0;
    size_t pos = 0;
    while (true) {
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos >= line.size()) break;
        size_t end = pos;
        while (end < line.size() && !isBlank(line[end])) ++end;
        const std::string_view token = line.substr(pos, end - pos);
        if (word >= std::size(kWords)) return false;
        if (word == 3) {
            double version = 0.0;
            const auto r = std::from_chars(token.data(), token.data() + token.size(), version);
            if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return false;
        } else if (token != kWords[word]) {
            return false;
        }
        ++word;
        pos = end;
    }
    return word == std::size(kWords);
}

// "Multi Group: %d" and its kin: the announced count.
bool readCount(std::string_view line, std::string_view marker, long long& count) {
    if (!startsWith(line, marker)) return false;
    std::string_view rest = trimmed(line.substr(marker.size()));
    if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
    const auto r = std::from_chars(rest.data(), rest.data() + rest.size(), count);
    return r.ec == std::errc() && count >= 0 && count <= INT_MAX;
}

// The patch text between "Start Patch: <name>" (already read) and "End Patch: <name>".
// Only the patch's own end line closes it, so notes holding another patch's end line,
// or a category's, read whole.
bool readPatchSection(LineReader& in, std::string_view name, PatchRecord& patch) {
    const size_t start = in.position();
    std::string_view line;
    while (true) {
        const size_t lineStart = in.position();
        if (!in.next(line)) return false;
        if (isEndLine(line, "End Patch:", name)) {
            patch.readText(in.from(start, lineStart));
            // The section's name is the one its end line matched; without one the
            // patch's own name record stands.
            patch.name = nameFrom(name.empty() ? std::string_view(patch.name) : name);
            return true;
        }
    }
}

// uniqueName for many names in a row: the same results, without rescanning the list for
// each name, so a dump holding thousands of equal names still reads in linear time.
class UniqueNames {
public:
    template <typename Items> explicit UniqueNames(const Items& items) {
        for (const auto& item : items) taken_.insert(item->name);
    }

    std::string make(const std::string& name) {
        std::string result = name;
        if (taken_.count(name) != 0) {
            // Names are only ever added, so every suffix below the one tried last time for
            // this name is still taken.
            size_t& next = nextSuffix_[name];
            if (next == 0) next = 1;
            do {
                result = name + " " + std::to_string(next++);
            } while (taken_.count(result) != 0);
        }
        taken_.insert(result);
        return result;
    }

private:
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, size_t> nextSuffix_;
};

} // namespace

std::string uniqueName(const std::string& name, const std::vector<std::string>& taken) {
    auto isTaken = [&](const std::string& candidate) {
        return std::find(taken.begin(), taken.end(), candidate) != taken.end();
    };
    if (!isTaken(name)) return name;
    // At most taken.size() candidates can be taken, so this ends.
    for (size_t n = 1;; ++n) {
        std::string candidate = name + " " + std::to_string(n);
        if (!isTaken(candidate)) return candidate;
    }
}

// ---------------------------------------------------------------- PatchLibrary

bool PatchLibrary::writeDump(const std::string& path, const std::vector<int>& groupPicks,
                             const std::vector<int>& categoryPicks,
                             const std::vector<int>& patchPicks, bool toClipboard) {
    const std::string closing = toClipboard ? "in clipboard" : "exported";
    std::vector<char> buffer(kPatchTextCapacity);
    std::string out(kHeader);
    std::string message;

    // A selection naming anything that is not there writes nothing, so an earlier
    // clipboard or export file stays as it was.
    auto refuse = [&] {
        messages().inform(libraryText(LibraryMessage::SelectionError));
        return false;
    };
    if (categoryPicks.empty() && !groupPicks.empty()) {
        if (!allInside(groupPicks, groups)) return refuse();
        out += "Multi Group: " + std::to_string(groupPicks.size()) + "\n";
        for (int g : groupPicks) appendGroupSection(out, *groups[size_t(g)], buffer);
        out += "End Multi Group:\n";
        const size_t n = groupPicks.size();
        message = libraryText(LibraryMessage::GroupsWritten,
                              {std::to_string(n), countEnding(n, kGroupEndings), closing});
    } else {
        if (groupPicks.empty() || !allInside(groupPicks, groups)) return refuse();
        const PatchGroup& group = *groups[size_t(groupPicks[0])];
        if (categoryPicks.empty() || !allInside(categoryPicks, group.categories)) return refuse();
        const std::string groupName = oneLine(group.name);
        if (categoryPicks.size() == 1 && !patchPicks.empty()) {
            const PatchCategory& category = *group.categories[size_t(categoryPicks[0])];
            if (!allInside(patchPicks, category.patches)) return refuse();
            const std::string categoryName = oneLine(category.name);
            out += "Multi Patch: " + std::to_string(patchPicks.size()) + "\n" + groupName + "\n" +
                   categoryName + "\n";
            for (int k : patchPicks) appendPatchSection(out, *category.patches[size_t(k)], buffer);
            out += "End Multi Patch: " + groupName + " - " + categoryName + "\n";
            const size_t n = patchPicks.size();
            message = libraryText(LibraryMessage::PatchesWritten,
                                  {std::to_string(n), countEnding(n, kPatchEndings), category.name,
                                   group.name, closing});
        } else {
            out +=
                "Multi Category: " + std::to_string(categoryPicks.size()) + "\n" + groupName + "\n";
            for (int c : categoryPicks)
                appendCategorySection(out, *group.categories[size_t(c)], buffer);
            out += "End Multi Category: " + groupName + "\n";
            const size_t n = categoryPicks.size();
            message = libraryText(
                LibraryMessage::CategoriesWritten,
                {std::to_string(n), countEnding(n, kCategoryEndings), group.name, closing});
        }
    }

    if (!replaceFile(path, out)) {
        diagnostic("open failed %s\n", path.c_str());
        return false;
    }
    messages().inform(message);
    return true;
}

void PatchLibrary::importDump(const std::string& path, bool defaultLibrary) {
    readDump(path, false, -1, 0, 0, defaultLibrary);
}

void PatchLibrary::pasteDump(const std::string& path, int clipboardType, int targetGroup,
                             int targetCategory) {
    readDump(path, true, clipboardType, targetGroup, targetCategory, false);
}

void PatchLibrary::appendGroup(std::unique_ptr<PatchGroup> group) {
    group->id = std::to_string(groups.size());
    group->path = root;
    group->separator = separator;
    // The folders below follow the group's final position.
    for (size_t m = 0; m < group->categories.size(); ++m) {
        PatchCategory& category = *group->categories[m];
        category.id = std::to_string(m);
        category.path = group->folder();
        for (auto& patch : category.patches) patch->folder = category.folder();
    }
    group->markModified(true);
    groupNames.push_back(group->name);
    groups.push_back(std::move(group));
    modified = true;
}

void PatchLibrary::readDump(const std::string& path, bool paste, int clipboardType, int targetGroup,
                            int targetCategory, bool defaultLibrary) {
    std::string text;
    if (!readWholeFile(path, text)) {
        // Without a shipped default library a first start simply begins empty.
        if (!defaultLibrary) messages().inform(libraryText(LibraryMessage::NotAnArchive));
        return;
    }
    LineReader in(text);
    std::string_view line;
    if (!in.next(line) || !isHeader(line)) {
        messages().inform(libraryText(LibraryMessage::NotAnArchive));
        return;
    }

    auto finish = [&](bool ok, const std::string& message) {
        if (PatchGroup* group = currentGroupPtr()) group->rebuildProgramTable();
        messages().inform(ok      ? message
                          : paste ? libraryText(LibraryMessage::ClipboardErrors)
                                  : libraryText(LibraryMessage::ImportErrors));
    };

    long long count = 0;
    int kind = -1;
    if (in.nextFilled(line)) {
        if (readCount(line, "Multi Group:", count))
            kind = kDumpGroups;
        else if (readCount(line, "Multi Category:", count))
            kind = kDumpCategories;
        else if (readCount(line, "Multi Patch:", count))
            kind = kDumpPatches;
    }
    // A clipboard whose type file names another kind than its dump is damaged.
    const bool typeMismatch = paste && clipboardType >= kDumpGroups &&
                              clipboardType <= kDumpPatches && clipboardType != kind;
    if (kind < 0 || typeMismatch) return finish(false, {});

    std::string_view name;
    UniqueNames groupNamesTaken(groups);

    // Reads one category's patch sections up to its end line into `category`; false when
    // the text ends first. Patches read before that stay in it.
    auto readCategory = [&](std::string_view categoryName, PatchCategory& category) {
        std::string_view inner;
        while (in.next(inner)) {
            if (startsWith(inner, kStartPatch)) {
                const std::string_view patchName = trimmed(inner.substr(kStartPatch.size()));
                auto patch = std::make_unique<PatchRecord>();
                if (!readPatchSection(in, patchName, *patch)) return false;
                patch->modified = true;
                appendPatch(category, std::move(patch));
            } else if (isEndLine(inner, "End Category Dump:", categoryName)) {
                return true;
            }
        }
        return false;
    };

    bool ok = true;
    if (kind == kDumpGroups) {
        for (long long n = 0; n < count; ++n) {
            if (!in.find("Group Dump:", name)) {
                ok = false;
                break;
            }
            const std::string_view groupName = name;
            auto group = newGroup(nameFrom(groupName));
            bool closed = false;
            std::string_view inner;
            while (ok && in.next(inner)) {
                if (startsWith(inner, kCategoryDump)) {
                    const std::string_view categoryName =
                        trimmed(inner.substr(kCategoryDump.size()));
                    auto category = newCategory(*group, nameFrom(categoryName));
                    ok = readCategory(categoryName, *category);
                    group->categoryNames.push_back(category->name);
                    group->categories.push_back(std::move(category));
                } else if (isEndLine(inner, "End Group Dump:", groupName)) {
                    closed = true;
                    break;
                }
            }
            // A group cut short keeps what it holds; one that holds nothing is dropped.
            if (closed || !group->categories.empty()) {
                group->name = groupNamesTaken.make(group->name);
                appendGroup(std::move(group));
            }
            if (!closed) {
                ok = false;
                break;
            }
        }
        if (ok) ok = in.nextFilled(line) && startsWith(line, "End Multi Group:");
        return finish(ok, readMessage(kDumpGroups, paste, count));
    }

    // Categories and patches name their group, and patches their category, on the lines
    // after the count.
    std::string_view dumpGroupName, dumpCategoryName;
    if (!in.next(dumpGroupName) || (kind == kDumpPatches && !in.next(dumpCategoryName)))
        return finish(false, {});
    dumpGroupName = trimmed(dumpGroupName);
    dumpCategoryName = trimmed(dumpCategoryName);

    // Import builds a new group; paste adds to the target, the first one when the target
    // is not there.
    std::unique_ptr<PatchGroup> built;
    PatchGroup* group = nullptr;
    PatchCategory* category = nullptr;
    if (!paste) {
        built = newGroup(nameFrom(dumpGroupName));
        group = built.get();
        if (kind == kDumpPatches) {
            group->categories.push_back(newCategory(*group, nameFrom(dumpCategoryName)));
            group->categoryNames.push_back(group->categories.back()->name);
            category = group->categories.back().get();
        }
    } else {
        if (targetGroup < 0 || size_t(targetGroup) >= groups.size()) targetGroup = 0;
        if (groups.empty()) return finish(false, {});
        group = groups[size_t(targetGroup)].get();
        if (kind == kDumpPatches) {
            if (targetCategory < 0 || size_t(targetCategory) >= group->categories.size())
                targetCategory = 0;
            if (group->categories.empty()) return finish(false, {});
            category = group->categories[size_t(targetCategory)].get();
        }
    }

    std::string message;
    if (kind == kDumpCategories) {
        UniqueNames categoryNamesTaken(group->categories);
        for (long long n = 0; ok && n < count; ++n) {
            if (!in.find(kCategoryDump, name)) {
                ok = false;
                break;
            }
            const std::string_view categoryName = name;
            auto read = newCategory(*group, nameFrom(categoryName));
            ok = readCategory(categoryName, *read);
            if (paste) {
                read->name = categoryNamesTaken.make(read->name);
                group->modified = true;
                modified = true;
            }
            read->markModified(true);
            group->categoryNames.push_back(read->name);
            group->categories.push_back(std::move(read));
        }
        if (ok) ok = in.find("End Multi Category:", name);
        message = readMessage(kDumpCategories, paste, count);
    } else {
        UniqueNames patchNamesTaken(category->patches);
        for (long long n = 0; ok && n < count; ++n) {
            if (!in.find(kStartPatch, name)) {
                ok = false;
                break;
            }
            auto patch = std::make_unique<PatchRecord>();
            if (!readPatchSection(in, name, *patch)) {
                ok = false;
                break;
            }
            if (paste) patch->name = patchNamesTaken.make(patch->name);
            patch->modified = true;
            appendPatch(*category, std::move(patch));
            category->modified = true;
            if (paste) modified = true;
        }
        if (ok) ok = in.find("End Multi Patch:", name);
        message = readMessage(kDumpPatches, paste, count);
    }

    // An imported group is kept when anything was read into it.
    if (built) {
        const bool holdsSomething =
            kind == kDumpCategories ? !built->categories.empty() : !category->patches.empty();
        if (holdsSomething) {
            built->name = groupNamesTaken.make(built->name);
            appendGroup(std::move(built));
        }
    }
    finish(ok, message);
}

} // namespace moraine
