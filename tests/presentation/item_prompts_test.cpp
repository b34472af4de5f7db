#include "presentation/item_prompts.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace dunvale {
namespace {

using testing::ScreenFixture;

const SectorCoord home{0, 0, 0};

const Item knife{ItemClass::Weapon, 0};
const Item dagger{ItemClass::Weapon, 1};
const Item longSword{ItemClass::Weapon, 3};
const Item paddedClothes{ItemClass::Armour, 0};
const Item chainMail{ItemClass::Armour, 2};
const Item plateMail{ItemClass::Armour, 3};
const Item fullPlate{ItemClass::Armour, 4};
const Item healingPotion{ItemClass::Potion, 0};
const Item protectionScroll{ItemClass::Scroll, 2};

struct ItemCommandsTest : ::testing::Test {
    ScreenFixture fixture;
    std::unique_ptr<LevelRecord> level = testing::levelWith({home});
    Player player = newPlayer();

    // The command run with one key pressed at its prompt; the turns it took.
    int32_t run(int32_t (*command)(Player&, LevelRecord&), int key) {
        fixture.terminal.keys = {key};
        return command(player, *level);
    }
    std::vector<FloorItem>& floor() { return findSector(level->sectors, home)->items; }
    void fillInventory() {
        for (auto& slot : player.inventory)
            slot = healingPotion;
    }
};

using Command = int32_t (*)(Player&, LevelRecord&);

// The attribute row expected under a text written in one colour code.
std::string written(const std::string& text, char code) {
    std::string row = text;
    for (char& c : row)
        if (c != ' ') c = code;
    return row;
}

TEST_F(ItemCommandsTest, SelectionPromptsCancelOnAnyOtherKey) {
    const std::vector<std::pair<Command, std::string>> commands{
        {useCommand, "use"}, {dropCommand, "drop"}, {equipCommand, "equip"}};
    for (const auto& [command, verb] : commands) {
        player.inventory[0] = dagger;
        player.inventory[1] = healingPotion;
        for (int pressed : std::vector<int>{'x', 'a', ' ', key::F1}) {
            const Player before = player;
            EXPECT_EQ(run(command, pressed), 0) << verb;
            EXPECT_EQ(player.inventory, before.inventory);
            EXPECT_FALSE(player.equipment.weapon);
            EXPECT_TRUE(messageQueue().empty());
            EXPECT_EQ(fixture.terminal.row(17), "  Select the number of the item to " + verb +
                                                    ", or press any other key to cancel.");
            EXPECT_TRUE(floor().empty());
        }
    }
}

TEST_F(ItemCommandsTest, EmptySlotIsSilentForUseAndDropButNotForEquip) {
    EXPECT_EQ(run(useCommand, '7'), 0);
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_EQ(fixture.terminal.row(18), "");
    EXPECT_EQ(run(dropCommand, '7'), 0);
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_TRUE(floor().empty());
    EXPECT_EQ(run(equipCommand, '7'), 0);
    EXPECT_TRUE(messageQueue().empty());
    EXPECT_EQ(fixture.terminal.row(17), "  You don't have that item.");
}

TEST_F(ItemCommandsTest, UseDrinksOrReadsAndUsesTheItemUp) {
    player.energy = 40;
    player.inventory[2] = healingPotion;
    player.inventory[5] = protectionScroll;
    EXPECT_EQ(run(useCommand, '2'), 1);
    EXPECT_EQ(player.energy, 70);
    EXPECT_FALSE(player.inventory[2]);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"You drink the healing potion."});
    messageQueue().clear();
    EXPECT_EQ(run(useCommand, '5'), 1);
    EXPECT_FALSE(player.inventory[5]);
    ASSERT_EQ(player.effects.size(), 1u);
    EXPECT_EQ(player.effects[0].kind, EffectKind::Protection);
}

TEST_F(ItemCommandsTest, WeaponsAndArmourCannotBeUsedNorPotionsWorn) {
    player.inventory[0] = longSword;
    player.inventory[1] = healingPotion;
    EXPECT_EQ(run(useCommand, '0'), 0);
    EXPECT_EQ(fixture.terminal.row(17), "  You can't use that.");
    EXPECT_EQ(run(equipCommand, '1'), 0);
    EXPECT_EQ(fixture.terminal.row(17), "  You can't equip that.");
    EXPECT_EQ(player.inventory[0], longSword);
    EXPECT_EQ(player.inventory[1], healingPotion);
    EXPECT_FALSE(player.equipment.weapon);
}

TEST_F(ItemCommandsTest, DropLeavesItemsOnTheSquareInOrder) {
    player.position = Position{home, 3, 8};
    player.inventory[4] = dagger;
    player.inventory[6] = chainMail;
    EXPECT_EQ(run(dropCommand, '4'), 1);
    EXPECT_EQ(run(dropCommand, '6'), 1);
    EXPECT_FALSE(player.inventory[4]);
    EXPECT_FALSE(player.inventory[6]);
    EXPECT_EQ(floor(), (std::vector<FloorItem>{{dagger, 3, 8}, {chainMail, 3, 8}}));
    // The second prompt showed the first message.
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"You drop the chain mail."});
}

struct EquipCase {
    std::optional<Item> worn;
    Item chosen;
    int32_t turns;
    std::string said;
};

TEST_F(ItemCommandsTest, EquipCostsAndSwaps) {
    const EquipCase cases[] = {
        {paddedClothes, chainMail, 6, "You take off the padded clothes You put on the chain mail"},
        {std::nullopt, fullPlate, 9, "You put on the full plate mail"},
        {std::nullopt, paddedClothes, 1, "You put on the padded clothes"},
        {fullPlate, plateMail, 16, "You take off the full plate mail You put on the plate mail"},
        {longSword, dagger, 1, "You wield the dagger"},
        {std::nullopt, knife, 1, "You wield the knife"},
    };
    for (const EquipCase& c : cases) {
        messageQueue().clear();
        player = newPlayer();
        player.inventory[0] = healingPotion;
        player.inventory[6] = c.chosen;
        bool weapon = c.chosen.itemClass == ItemClass::Weapon;
        (weapon ? player.equipment.weapon : player.equipment.armour) = c.worn;
        EXPECT_EQ(run(equipCommand, '6'), c.turns) << itemName(c.chosen);
        EXPECT_EQ((weapon ? player.equipment.weapon : player.equipment.armour), c.chosen);
        // What was worn before lands in the slot the new item came from.
        EXPECT_EQ(player.inventory[6], c.worn);
        EXPECT_EQ(player.inventory[0], healingPotion);
        EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{c.said});
    }
}

TEST_F(ItemCommandsTest, EquipShowsTheInventoryAndStatusPanels) {
    player.inventory[0] = healingPotion;
    player.inventory[1] = dagger;
    player.inventory[2] = chainMail;
    player.inventory[3] = protectionScroll;
    EXPECT_EQ(run(equipCommand, 'q'), 0);
    const VirtualScreen& screen = fixture.terminal;
    EXPECT_EQ(screen.row(2).substr(2, 16), "0:healing potion");
    // Cyan: '6' normal, 'G' bright; only weapons and armour stand out.
    EXPECT_EQ(screen.attributeRow(2).substr(2, 16), written("0:healing potion", '6'));
    EXPECT_EQ(screen.attributeRow(3).substr(2, 8), std::string(8, 'G'));
    EXPECT_EQ(screen.attributeRow(4).substr(2, 12), written("2:chain mail", 'G'));
    EXPECT_EQ(screen.attributeRow(5).substr(2, 19), written("3:protection scroll", '6'));
    EXPECT_EQ(screen.attributeRow(6).substr(2, 9), std::string(9, '6'));
    EXPECT_NE(screen.row(1).find("Current status (F3)"), std::string::npos);
    EXPECT_NE(screen.row(9).find("unarmed"), std::string::npos);
}

TEST_F(ItemCommandsTest, UseMarksPotionsAndScrollsDropMarksNothing) {
    player.inventory[0] = healingPotion;
    player.inventory[1] = dagger;
    player.inventory[3] = protectionScroll;
    EXPECT_EQ(run(useCommand, 'q'), 0);
    const VirtualScreen& screen = fixture.terminal;
    EXPECT_EQ(screen.attributeRow(2).substr(2, 16), written("0:healing potion", 'G'));
    EXPECT_EQ(screen.attributeRow(3).substr(2, 8), std::string(8, '6'));
    EXPECT_EQ(screen.attributeRow(5).substr(2, 19), written("3:protection scroll", 'G'));
    EXPECT_EQ(screen.row(1).find("Current status"), std::string::npos);
    EXPECT_EQ(run(dropCommand, 'q'), 0);
    EXPECT_EQ(screen.attributeRow(2).substr(2, 16), written("0:healing potion", '6'));
    EXPECT_EQ(screen.attributeRow(5).substr(2, 19), written("3:protection scroll", '6'));
}

TEST_F(ItemCommandsTest, UnequipWithNothingWornOrNoRoom) {
    EXPECT_EQ(unequipCommand(player, *level), 0);
    EXPECT_EQ(fixture.terminal.row(17), "  You have nothing equipped.");
    player.equipment.weapon = dagger;
    fillInventory();
    EXPECT_EQ(unequipCommand(player, *level), 0);
    EXPECT_EQ(fixture.terminal.row(17),
              "  You don't have free space in your inventory to unequip anything.");
    EXPECT_EQ(player.equipment.weapon, dagger);
    EXPECT_EQ(fixture.terminal.keysRead, 0);
}

TEST_F(ItemCommandsTest, UnequipWithOnlyAWeaponOffersOnlyTheWeapon) {
    player.equipment.weapon = longSword;
    player.inventory[0] = healingPotion;
    EXPECT_EQ(run(unequipCommand, 'a'), 0);
    EXPECT_EQ(fixture.terminal.row(17),
              "  To unwield your weapon, press 'w' ...or any other key to cancel.");
    EXPECT_EQ(fixture.terminal.row(18), "");
    EXPECT_EQ(player.equipment.weapon, longSword);
    EXPECT_EQ(run(unequipCommand, 'w'), 1);
    EXPECT_FALSE(player.equipment.weapon);
    EXPECT_EQ(player.inventory[1], longSword);
    EXPECT_TRUE(messageQueue().empty());
}

TEST_F(ItemCommandsTest, UnequipArmourTakesItsTime) {
    player.equipment.weapon = knife;
    player.equipment.armour = plateMail;
    player.inventory[0] = healingPotion;
    player.inventory[1] = healingPotion;
    EXPECT_EQ(run(unequipCommand, 'a'), 7);
    EXPECT_EQ(fixture.terminal.row(17),
              "  To unwield your weapon, press 'w' To unequip your armour, press 'a'");
    EXPECT_EQ(fixture.terminal.row(18), "  ...or any other key to cancel.");
    EXPECT_FALSE(player.equipment.armour);
    EXPECT_EQ(player.equipment.weapon, knife);
    EXPECT_EQ(player.inventory[2], plateMail);
    EXPECT_EQ(run(unequipCommand, 'W'), 0);
    EXPECT_EQ(player.equipment.weapon, knife);
}

TEST_F(ItemCommandsTest, GetPicksUpTheFirstThingHere) {
    player.position = Position{home, 2, 2};
    EXPECT_EQ(pickUpCommand(player, *level), 0);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"There's nothing to pick up here."});
    messageQueue().clear();
    player.inventory[0] = knife;
    putItem(level->sectors, Position{home, 2, 3}, dagger);
    putItem(level->sectors, player.position, chainMail);
    putItem(level->sectors, player.position, healingPotion);
    EXPECT_EQ(pickUpCommand(player, *level), 1);
    EXPECT_EQ(player.inventory[1], chainMail);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"You get the chain mail."});
    EXPECT_EQ(floor(), (std::vector<FloorItem>{{dagger, 2, 3}, {healingPotion, 2, 2}}));
}

TEST_F(ItemCommandsTest, FullInventoryRefusesItemsButTakesTreasure) {
    fillInventory();
    player.treasure = 5;
    putItem(level->sectors, player.position, dagger);
    EXPECT_EQ(pickUpCommand(player, *level), 0);
    EXPECT_EQ(fixture.terminal.row(17), "  You don't have space in your inventory.");
    EXPECT_EQ(floor().size(), 1u);
    floor().insert(floor().begin(), FloorItem{Item{ItemClass::Treasure, 37}, 5, 5});
    EXPECT_EQ(pickUpCommand(player, *level), 1);
    EXPECT_EQ(player.treasure, 42);
    EXPECT_EQ(fixture.messageTexts(), std::vector<std::string>{"You get the treasure ($37)."});
    EXPECT_EQ(floor(), (std::vector<FloorItem>{{dagger, 5, 5}}));
}

} // namespace
} // namespace dunvale
