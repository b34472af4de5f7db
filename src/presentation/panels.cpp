#include "presentation/panels.h"
#include "rules/map.h"

#include "presentation/screen.h"
#include "support/errors.h"

#include <algorithm>
#include <array>

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

// The box (which blanks the inside) and the title on its top border.
void drawPanelFrame(int x, Panel panel) {
    PanelLook look = lookOf(panel);
    drawBox(Brightness::Normal, look.colour, 1, x - 1, 15, x + 25);
    writeText(Brightness::Bright, look.colour, look.title, 1, x + look.titleOffset);
}

void drawControls(int x) {
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
        writeText(lines[i].brightness, Colour::Yellow, lines[i].text, 2 + static_cast<int>(i), x);
}

std::string describeSector(SectorKind kind, int32_t exploration) {
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

void drawLocation(int x, const Player& player, LevelRecord& level) {
    const Position& p = player.position;
    int32_t e = player.skills.exploration;
    if (e > 2) {
        writeText(Brightness::Normal, Colour::Blue,
                  "Sector: " + std::to_string(p.sector.sx) + "," + std::to_string(p.sector.sy) +
                      "," + std::to_string(p.sector.sz),
                  3, x);
        if (e > 6)
            writeText(Brightness::Normal, Colour::Blue,
                      "Co-ordinates: " + std::to_string(p.x) + "," + std::to_string(p.y), 4, x);
    }
    std::string description = "You're a bit lost.";
    if (e >= 1) {
        Sector* sector = findSector(level.sectors, p.sector);
        if (sector == nullptr) {
            // The player's own sector always exists; reach the usual error.
            cellAt(level.sectors, p);
        } else {
            description = describeSector(sector->kind, e);
        }
    }
    writeText(Brightness::Normal, Colour::Blue, description, 2, x);
}

void drawStatus(int x, const Player& player) {
    const Colour red = Colour::Red;
    writeText(Brightness::Normal, red, "Exploration: " + std::to_string(player.skills.exploration),
              2, x);
    writeText(Brightness::Normal, red, "Combat     : " + std::to_string(player.skills.combat), 3,
              x);
    writeText(Brightness::Normal, red, "Energy     : " + std::to_string(player.energy) + "  ", 4,
              x);
    writeText(Brightness::Normal, red, "Armour:", 6, x);
    writeText(Brightness::Normal, red,
              player.equipment.armour ? itemName(*player.equipment.armour) : "unarmoured", 7,
              x + 2);
    writeText(Brightness::Normal, red, "Weapon:", 8, x);
    writeText(Brightness::Normal, red,
              player.equipment.weapon ? itemName(*player.equipment.weapon) : "unarmed", 9, x + 2);
    if (!player.effects.empty())
        writeText(Brightness::Normal, red, std::to_string(player.effects.size()) + " temp effects.",
                  11, x);
}

void drawInventoryBody(int x, const Player& player, const std::vector<ItemClass>& marked) {
    for (int slot = 0; slot < inventorySlots; ++slot) {
        const std::optional<Item>& item = player.inventory[slot];
        std::string text = std::to_string(slot) + ":" + (item ? itemName(*item) : "(empty)");
        bool bright =
            item && std::find(marked.begin(), marked.end(), item->itemClass) != marked.end();
        writeText(bright ? Brightness::Bright : Brightness::Normal, Colour::Cyan, text, slot + 2,
                  x);
    }
    writeText(Brightness::Normal, Colour::Cyan, "$: " + std::to_string(player.treasure), 12, x);
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

void drawEffects(int x, const Player& player) {
    const auto& effects = player.effects;
    if (effects.empty()) {
        writeText(Brightness::Normal, Colour::Magenta, "No active effects", 2, x);
        return;
    }
    if (effects.size() > 10) writeText(Brightness::Normal, Colour::Magenta, "...and more", 12, x);
    size_t shown = std::min<size_t>(10, effects.size());
    for (size_t i = 0; i < shown; ++i) {
        const TimedEffect& effect = effects[i];
        writeText(Brightness::Normal, Colour::Magenta,
                  std::string(effectName(effect.kind)) + " (" + std::to_string(effect.turnsLeft) +
                      ")",
                  static_cast<int>(i) + 2, x);
    }
}

} // namespace

void drawPanel(int x, Panel panel, const Player& player, LevelRecord& level) {
    if (panel == Panel::Inventory) {
        drawInventoryPanel(x, player, {});
        return;
    }
    drawPanelFrame(x, panel);
    switch (panel) {
    case Panel::Location: drawLocation(x, player, level); break;
    case Panel::CurrentStatus: drawStatus(x, player); break;
    case Panel::Controls: drawControls(x); break;
    case Panel::Effects: drawEffects(x, player); break;
    case Panel::Inventory: break;
    }
}

void drawInventoryPanel(int x, const Player& player, const std::vector<ItemClass>& marked) {
    drawPanelFrame(x, Panel::Inventory);
    drawInventoryBody(x, player, marked);
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
