// The names a mistyped key name most likely meant: a user who writes BACKSPACE or ENTER learns
// the table's BACK or NUMPADENTER instead of reading the whole list.
#include "records/key_script.h"

#include <algorithm>
#include <vector>

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Edits (insert, delete, replace) from one name to the other; both are short.
int EditDistance(std::string_view a, std::string_view b) {
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = static_cast<int>(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (Upper(a[i - 1]) == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Whether one holds the other (BACKSPACE holds BACK): a longer or shorter spelling of a name.
bool HoldsOther(std::string_view given, std::string_view name) {
    std::string upper(given);
    std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
    const std::string_view shorter = upper.size() < name.size() ? std::string_view(upper) : name;
    const std::string_view longer = upper.size() < name.size() ? name : std::string_view(upper);
    return shorter.size() >= 3 && longer.find(shorter) != std::string_view::npos;
}

} // namespace

std::string NearestKeyNames(std::string_view given) {
    constexpr size_t kShown = 3;
    // Longer than any name by far: no hint to give, and no work for garbage.
    if (given.empty() || given.size() > 40) return "";
    const int allowed = std::max<int>(1, static_cast<int>(given.size()) / 3);
    std::vector<std::pair<int, const char*>> near;
    for (int i = 0; i < kKeyNameCount; ++i) {
        const char* name = kKeyNames[i].name;
        const int distance = EditDistance(given, name);
        // A name holding the given one ranks with a single edit: it is what was meant.
        if (HoldsOther(given, name))
            near.emplace_back(std::min(distance, 1), name);
        else if (distance <= allowed)
            near.emplace_back(distance, name);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string names;
    for (size_t i = 0; i < near.size() && i < kShown; ++i)
        names += (i == 0 ? "" : ", ") + std::string(near[i].second);
    return names;
}
