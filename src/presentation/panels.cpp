#include "presentation/panels.h"
#include "rules/map.h"

#include "presentation/screen.h"
#include "support/errors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace dunvale {

namespace {

struct PanelLook {
    Colour colour;
    const char* title;
    int titleOffset;
};

PanelLook lookOf(Panel panel) {
    switch (panel) {
    case Panel::Location: return {Colour::Blue, "Location (F2)", 6};
    case Panel::CurrentStatus: return {Colour::Red, "Current status (F3)", 2};
    case Panel::Inventory: return {Colour::Cyan, "Inventory (F4)", 5};
    case Panel::Controls: return {Colour::Yellow, "Controls (F1)", 6};
    case Panel::Effects: return {Colour::Magenta, "Effects (F5)", 6};
    }
    raiseMissingCase();
}

constexpr int panelTop = 1;
constexpr int panelBottom = 15;

// One line of a panel's text, written over its box.
struct PanelLine {
    Brightness brightness = Brightness::Normal;
    Colour colour = Colour::White;
    int row = 0;
    int column = 0;
    std::string_view text;
    friend bool operator==(const PanelLine&, const PanelLine&) = default;
};

// A whole number in decimal, as std::to_string writes it.
class Decimal {
  public:
    explicit Decimal(int64_t n) {
        length = static_cast<size_t>(
            std::to_chars(digits.data(), digits.data() + digits.size(), n).ptr - digits.data());
    }
    operator std::string_view() const { return {digits.data(), length}; }

  private:
    std::array<char, 24> digits;
    size_t length = 0;
};

// Whether n bytes from a and from b are the same.
bool sameBytes(const void* a, const void* b, size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0;
}

// What a panel shows: its box and title, and its lines in the order they are
// written, their texts one after another. The storage is kept from one
// drawing to the next, and two pictures compare as two runs of bytes.
class PanelPicture {
  public:
    Panel panel = Panel::Controls;
    int x = 0;

    void start(Panel shown, int column) {
        panel = shown;
        x = column;
        count = 0;
        used = 0;
    }
    // One line, the text made of the parts in order. Written out part by
    // part where it is called, so that a literal part is a copy of known size.
    template <typename... Parts>
    void write(Brightness brightness, Colour colour, int row, int column, const Parts&... parts) {
        writeViews(brightness, colour, row, column, std::string_view(parts)...);
    }
    size_t size() const { return count; }
    PanelLine operator[](size_t i) const {
        const Mark& mark = marks[i];
        return {mark.brightness, mark.colour, mark.row, mark.column,
                std::string_view(chars.data() + mark.from, mark.length)};
    }
    bool sameAs(const PanelPicture& other) const {
        return panel == other.panel && x == other.x && count == other.count && used == other.used &&
               sameBytes(marks.data(), other.marks.data(), count * sizeof(Mark)) &&
               sameBytes(chars.data(), other.chars.data(), used);
    }

  private:
    // A line without its text: where and how it is written, and where its
    // text lies in `chars`.
    struct Mark {
        Brightness brightness;
        Colour colour;
        uint16_t unused;
        int row;
        int column;
        int32_t unusedToo;
        size_t from;
        size_t length;
    };
    static_assert(std::has_unique_object_representations_v<Mark>,
                  "marks with the same values have the same bytes");

    template <typename... Views>
    void writeViews(Brightness brightness, Colour colour, int row, int column, Views... parts) {
        const size_t from = used;
        makeRoom((parts.size() + ...));
        (append(parts), ...);
        mark(Mark{brightness, colour, 0, row, column, 0, from, used - from});
    }
    // Room in `chars` for `more` characters after those used.
    void makeRoom(size_t more) {
        if (used + more > chars.size()) chars.resize(std::max(2 * chars.size(), used + more));
    }
    void append(std::string_view part) {
        if (part.empty()) return;
        std::memcpy(chars.data() + used, part.data(), part.size());
        used += part.size();
    }
    void mark(const Mark& line) {
        if (count == marks.size()) marks.emplace_back();
        marks[count++] = line;
    }

    std::vector<Mark> marks;
    size_t count = 0;
    std::string chars;
    size_t used = 0;
};

// The box (which blanks the inside) and the title on its top border.
void drawPanelFrame(int x, Panel panel) {
    PanelLook look = lookOf(panel);
    drawBox(Brightness::Normal, look.colour, panelTop, x - 1, panelBottom, x + 25);
    writeText(Brightness::Bright, look.colour, look.title, panelTop, x + look.titleOffset);
}

void writeLine(const PanelLine& line) {
    writeText(line.brightness, line.colour, line.text, line.row, line.column);
}

void draw(const PanelPicture& picture) {
    drawPanelFrame(picture.x, picture.panel);
    for (size_t i = 0; i < picture.size(); ++i)
        writeLine(picture[i]);
}

// The two panel places remember what they last showed: while nothing else
// has been written over a panel, the same picture is not drawn again.
struct PanelPlace {
    KeptArea area;
    PanelPicture draft;
    PanelPicture shown;
};
std::array<PanelPlace, 2> places{PanelPlace{KeptArea::FirstPanel, {}, {}},
                                 PanelPlace{KeptArea::SecondPanel, {}, {}}};

PanelPlace* placeAt(int x) {
    if (x == firstPanelColumn) return &places[0];
    if (x == secondPanelColumn) return &places[1];
    return nullptr;
}

// The first of the picture's lines from `i` on that lies on `row`; the end
// when none.
size_t nextOnRow(const PanelPicture& lines, size_t i, int row) {
    while (i < lines.size() && lines[i].row != row)
        ++i;
    return i;
}

// Whether two pictures write the same lines, in the same order, on `row`.
bool sameLinesOnRow(const PanelPicture& a, const PanelPicture& b, int row) {
    size_t i = nextOnRow(a, 0, row);
    size_t j = nextOnRow(b, 0, row);
    for (; i < a.size() && j < b.size(); i = nextOnRow(a, i + 1, row), j = nextOnRow(b, j + 1, row))
        if (!(a[i] == b[j])) return false;
    return i == a.size() && j == b.size();
}

// A bit for each row on which the two pictures write different lines. While
// both write their lines on the same rows in the same order, which is the
// usual case, the lines are compared pair by pair in one pass.
uint32_t changedRows(const PanelPicture& a, const PanelPicture& b) {
    uint32_t changed = 0;
    bool paired = a.size() == b.size();
    for (size_t i = 0; paired && i < a.size(); ++i) {
        const PanelLine line = a[i];
        paired = line.row == b[i].row;
        if (paired && !(line == b[i])) changed |= 1u << line.row;
    }
    if (paired) return changed;
    changed = 0;
    for (int row = panelTop + 1; row < panelBottom; ++row)
        if (!sameLinesOnRow(a, b, row)) changed |= 1u << row;
    return changed;
}

bool insideTheBox(const PanelPicture& picture) {
    for (size_t i = 0; i < picture.size(); ++i)
        if (picture[i].row <= panelTop || picture[i].row >= panelBottom) return false;
    return true;
}

// Redraws only the rows whose lines changed: the box blanks a row's inside
// before its lines are written, so a row depends on nothing but its own
// lines. False when a line lies on the box's edge, where that does not hold.
bool redrawChangedRows(const PanelPicture& picture, const PanelPicture& before) {
    if (!insideTheBox(picture) || !insideTheBox(before)) return false;
    const uint32_t changed = changedRows(picture, before);
    if (changed == 0) return true;
    const PanelLook look = lookOf(picture.panel);
    for (int row = panelTop + 1; row < panelBottom; ++row) {
        if ((changed & (1u << row)) == 0) continue;
        drawBoxRow(Brightness::Normal, look.colour, row, picture.x - 1, picture.x + 25);
        for (size_t i = 0; i < picture.size(); ++i)
            if (picture[i].row == row) writeLine(picture[i]);
    }
    return true;
}

// Draws the picture unless its place still shows it.
void show(PanelPicture& picture) {
    PanelPlace* place = placeAt(picture.x);
    if (place == nullptr || &picture != &place->draft) {
        draw(picture);
        return;
    }
    const bool kept = isKept(place->area) && picture.panel == place->shown.panel;
    if (kept && picture.sameAs(place->shown)) return;
    if (!kept || !redrawChangedRows(picture, place->shown)) draw(picture);
    // Everything the panel wrote, text that runs past the box included.
    int left = picture.x - 1;
    int right = picture.x + 25;
    for (size_t i = 0; i < picture.size(); ++i) {
        const PanelLine line = picture[i];
        left = std::min(left, line.column);
        right = std::max(right, line.column + static_cast<int>(line.text.size()) - 1);
    }
    keepArea(place->area, panelTop, left, panelBottom, right);
    std::swap(place->draft, place->shown);
}

// The picture to draw at column x: its place's draft, or a picture of its own.
template <typename Fill> void drawPicture(Panel panel, int x, Fill fill) {
    PanelPlace* place = placeAt(x);
    PanelPicture own;
    PanelPicture& picture = place != nullptr ? place->draft : own;
    picture.start(panel, x);
    fill(picture);
    show(picture);
}

void drawControls(PanelPicture& picture, int x) {
    struct Line {
        const char* text;
        Brightness brightness;
    };
    static const std::array<Line, 11> lines{{
        {"...Movement", Brightness::Bright},
        {" yku    789 or arrows", Brightness::Normal},
        {" h.l or 456 'w' to wait", Brightness::Normal},
        {" bjn    123 if it's safe", Brightness::Normal},
        {"...Display", Brightness::Bright},
        {" - and + to cycle panels", Brightness::Normal},
        {"or F1-5 to briefly show", Brightness::Normal},
        {"...Items", Brightness::Bright},
        {"get: ,    drop: d", Brightness::Normal},
        {"equip: e  unequip: r", Brightness::Normal},
        {"use: a", Brightness::Normal},
    }};
    for (size_t i = 0; i < lines.size(); ++i)
        picture.write(lines[i].brightness, Colour::Yellow, 2 + static_cast<int>(i), x,
                      lines[i].text);
}

const char* describeSector(SectorKind kind, int32_t exploration) {
    switch (kind) {
    case SectorKind::Entrance: return "The labyrinth entrance";
    case SectorKind::Maze:
    case SectorKind::ChamberMaze: return "The labyrinth";
    case SectorKind::StairsUp: return exploration > 3 ? "Stairs upwards" : "The labyrinth";
    case SectorKind::StairsDown: return exploration > 3 ? "Stairs downwards" : "The labyrinth";
    case SectorKind::UnstableTunnels:
        return exploration > 5 ? "Unstable-looking tunnels" : "The labyrinth";
    case SectorKind::SpiralStaircase:
        return exploration > 3 ? "A spiral staircase" : "The labyrinth";
    }
    raiseMissingCase();
}

void drawLocation(PanelPicture& picture, int x, const Player& player, LevelRecord& level) {
    const Position& p = player.position;
    int32_t e = player.skills.exploration;
    if (e > 2) {
        picture.write(Brightness::Normal, Colour::Blue, 3, x, "Sector: ", Decimal(p.sector.sx), ",",
                      Decimal(p.sector.sy), ",", Decimal(p.sector.sz));
        if (e > 6)
            picture.write(Brightness::Normal, Colour::Blue, 4, x, "Co-ordinates: ", Decimal(p.x),
                          ",", Decimal(p.y));
    }
    const char* description = "You're a bit lost.";
    if (e >= 1) {
        Sector* sector = findSector(level.sectors, p.sector);
        if (sector == nullptr) {
            // The player's own sector always exists; reach the usual error,
            // with what the panel showed up to there.
            show(picture);
            cellAt(level.sectors, p);
        } else {
            description = describeSector(sector->kind, e);
        }
    }
    picture.write(Brightness::Normal, Colour::Blue, 2, x, description);
}

void drawStatus(PanelPicture& picture, int x, const Player& player) {
    const Brightness normal = Brightness::Normal;
    const Colour red = Colour::Red;
    const std::optional<Item>& armour = player.equipment.armour;
    const std::optional<Item>& weapon = player.equipment.weapon;
    picture.write(normal, red, 2, x, "Exploration: ", Decimal(player.skills.exploration));
    picture.write(normal, red, 3, x, "Combat     : ", Decimal(player.skills.combat));
    picture.write(normal, red, 4, x, "Energy     : ", Decimal(player.energy), "  ");
    picture.write(normal, red, 6, x, "Armour:");
    picture.write(normal, red, 7, x + 2,
                  armour ? std::string_view(itemName(*armour)) : "unarmoured");
    picture.write(normal, red, 8, x, "Weapon:");
    picture.write(normal, red, 9, x + 2, weapon ? std::string_view(itemName(*weapon)) : "unarmed");
    if (!player.effects.empty())
        picture.write(normal, red, 11, x, Decimal(static_cast<int64_t>(player.effects.size())),
                      " temp effects.");
}

void drawInventoryBody(PanelPicture& picture, int x, const Player& player,
                       const std::vector<ItemClass>& marked) {
    for (int slot = 0; slot < inventorySlots; ++slot) {
        const std::optional<Item>& item = player.inventory[slot];
        bool bright =
            item && std::find(marked.begin(), marked.end(), item->itemClass) != marked.end();
        picture.write(bright ? Brightness::Bright : Brightness::Normal, Colour::Cyan, slot + 2, x,
                      Decimal(slot), ":", item ? std::string_view(itemName(*item)) : "(empty)");
    }
    picture.write(Brightness::Normal, Colour::Cyan, 12, x, "$: ", Decimal(player.treasure));
}

const char* effectName(EffectKind kind) {
    switch (kind) {
    case EffectKind::Protection: return "Protection";
    case EffectKind::Might: return "Might";
    case EffectKind::Regeneration: return "Regeneration";
    case EffectKind::Poison: return "Poison";
    }
    raiseMissingCase();
}

void drawEffects(PanelPicture& picture, int x, const Player& player) {
    const auto& effects = player.effects;
    if (effects.empty()) {
        picture.write(Brightness::Normal, Colour::Magenta, 2, x, "No active effects");
        return;
    }
    if (effects.size() > 10)
        picture.write(Brightness::Normal, Colour::Magenta, 12, x, "...and more");
    size_t shown = std::min<size_t>(10, effects.size());
    for (size_t i = 0; i < shown; ++i) {
        const TimedEffect& effect = effects[i];
        picture.write(Brightness::Normal, Colour::Magenta, static_cast<int>(i) + 2, x,
                      effectName(effect.kind), " (", Decimal(effect.turnsLeft), ")");
    }
}

} // namespace

void drawPanel(int x, Panel panel, const Player& player, LevelRecord& level) {
    if (panel == Panel::Inventory) {
        drawInventoryPanel(x, player, {});
        return;
    }
    drawPicture(panel, x, [&](PanelPicture& picture) {
        switch (panel) {
        case Panel::Location: drawLocation(picture, x, player, level); break;
        case Panel::CurrentStatus: drawStatus(picture, x, player); break;
        case Panel::Controls: drawControls(picture, x); break;
        case Panel::Effects: drawEffects(picture, x, player); break;
        case Panel::Inventory: break;
        }
    });
}

void drawInventoryPanel(int x, const Player& player, const std::vector<ItemClass>& marked) {
    drawPicture(Panel::Inventory, x,
                [&](PanelPicture& picture) { drawInventoryBody(picture, x, player, marked); });
}

void drawBothPanels(const Player& player, LevelRecord& level) {
    drawPanel(firstPanelColumn, player.panels[0], player, level);
    drawPanel(secondPanelColumn, player.panels[1], player, level);
    refreshScreen();
}

void showPanelBriefly(Panel panel, const Player& player, LevelRecord& level) {
    drawPanel(firstPanelColumn, panel, player, level);
    refreshScreen();
}

Panel nextPanel(Panel panel) {
    switch (panel) {
    case Panel::Controls: return Panel::Location;
    case Panel::Location: return Panel::CurrentStatus;
    case Panel::CurrentStatus: return Panel::Inventory;
    case Panel::Inventory: return Panel::Effects;
    case Panel::Effects: return Panel::Controls;
    }
    raiseMissingCase();
}

} // namespace dunvale
