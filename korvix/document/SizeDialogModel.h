// The size dialog as data: the title, the two lists of sizes, whether the
// choice is shown as a live selection, and the chosen width and height. The
// same dialog selects a part of the picture ("Selektieren") and chooses the new
// size of the map ("Größe ändern").
//
// A dialog over it: shows title(), fills the width and height lists with
// widths() and heights() (each entry's text is the value in decimal), selects
// entry 0 of each and calls open(); on every change of a list it calls
// chooseWidth(i) or chooseHeight(i). OK and Cancel are reported by the host
// call that ran the dialog. With live selection every choice (open() too)
// calls the live callback with the chosen width and height.
#pragma once

#include <functional>
#include <string>
#include <vector>

class SizeDialogModel {
public:
    using LiveFn = std::function<void(int width, int height)>;

    // The ten sizes 2048, 1024, ..., 4, largest first.
    static std::vector<int> allSizes();

    // "Selektieren": the sizes that fit the picture, with live selection.
    static SizeDialogModel forSelection(int pictureWidth, int pictureHeight, LiveFn live);
    // "Größe ändern": all ten sizes both ways, without live selection.
    static SizeDialogModel forResize();

    const std::string& title() const { return m_strTitle; }
    const std::vector<int>& widths() const { return m_widths; }
    const std::vector<int>& heights() const { return m_heights; }
    bool liveSelection() const { return m_bLive; }
    int chosenWidth() const { return m_nWidth; }
    int chosenHeight() const { return m_nHeight; }

    // Chooses the first (largest) entries of both lists.
    void open();
    // Index into widths() / heights(); an index outside the list is ignored.
    void chooseWidth(int index);
    void chooseHeight(int index);

private:
    void announce() const;

    std::string m_strTitle;
    std::vector<int> m_widths, m_heights;
    bool m_bLive = false;
    LiveFn m_live;
    int m_nWidth = 0, m_nHeight = 0;
};
