// Which files the disk file tree lists and which it opens in the program.
#include "document/DiskFileRules.h"

#include <gtest/gtest.h>

TEST(DiskFileRules, OpensInProgram)
{
    const struct {
        const char* path;
        bool opens;
    } cases[] = {
        {"/data/Bild.JPEG", true},   {"/data/a.jpeg", true},      {"/data/scan.TIFF", true},
        {"/data/scan.tif", true},    {"/v/world.qrb", true},      {"/v/Mod.MOD", true},
        {"/t/stone.tex", true},      {"/t/latex", true},          {"/i/a.tga", true},
        {"/i/a.bmp", true},          {"/i/a.wmf", true},          {"/i/a.jpg", true},
        {"/i/a.png", true},          {"/i/notes.txt", false},     {"/i/a.emf", false},
        {"/i/a.pcx", false},         {"tex", false},              {"xtex", true},
        {"/i/archive.tar", false},   {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DiskFileRules::opensInProgram(c.path), c.opens) << c.path;
}

TEST(DiskFileRules, HiddenFilesAreLeftOutHiddenFoldersAreNot)
{
    EXPECT_TRUE(DiskFileRules::isListed("a.tex", false));
    EXPECT_FALSE(DiskFileRules::isListed(".profile", false));
    EXPECT_TRUE(DiskFileRules::isListed(".config", true));
    EXPECT_TRUE(DiskFileRules::isListed("folder", true));
}
