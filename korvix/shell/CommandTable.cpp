#include "shell/CommandTable.h"

#include "document/CommandIds.h"

#include <iterator>

namespace {

constexpr CommandText COMMANDS[] = {
    // File and edit.
    {ID_FILE_OPEN, "Ö&ffnen\tStrg+O", "Öffnet ein QORB-Archiv, eine Textur oder ein Bild.", "Öffnen", "open"},
    {ID_EXPORT, "&Export\tStrg+E", "Textur exportieren.", "Textur exportieren", "export"},
    {ID_EDIT_UNDO, "&Rückgängig\tStrg+Z", "Macht die letzte Änderung am Bild rückgängig.", "Rückgängig", ""},
    {ID_EDIT_REDO, "&Wiederholen\tStrg+Y", "Wiederholt die zuletzt rückgängig gemachte Änderung am Bild.", "Wiederholen", ""},
    {ID_EDIT_COPY, "&Kopieren\tStrg+C", "Kopiert die gezeigte Map mit ihrem Alphakanal in die Zwischenablage.", "Kopieren",
     "copy"},
    {ID_EDIT_PASTE, "E&infügen\tStrg+V", "Fügt das Bild aus der Zwischenablage als neue Textur ein.", "Einfügen", "paste"},
    {ID_EXTERNAL_EDIT, "Extern bearbeiten…\tStrg+Umschalt+E",
     "Öffnet die gezeigte Map in einem anderen Programm; jedes Speichern dort lädt sie hier neu.", "Extern bearbeiten",
     "externaledit"},
    {ID_VOLUME_DATA, "Globale QORB-Daten", "Dialog für globale QORB-Infos zeigen.", "Globale QORB-Daten", "volumedata"},
    {ID_OBJECT_INFO, "Objektinfos", "Objektinfo.", "Objektinfos", "info"},
    {ID_APP_ABOUT, "Inf&o über Korvix...", "Zeigt Programminformationen, Versionsnummer und Copyright an.", "Info", "about"},
    {ID_APP_EXIT, "&Beenden", "Beendet die Anwendung.", "Beenden", ""},

    // Toolbars and status bar.
    {ID_VIEW_MAIN_TOOLBAR, "&Hauptsymbolleiste", "Blendet die Hauptsymbolleiste ein oder aus.", "", ""},
    {ID_VIEW_MAP_TOOLBAR, "&MipMap-Steuerung", "Blendet die MipMap-Steuerung ein oder aus.", "", ""},
    {ID_VIEW_VIEW_TOOLBAR, "&Ansichtsmodus", "Blendet die Ansichtsmodus-Leiste ein oder aus.", "", ""},
    {ID_VIEW_SELECTION_TOOLBAR, "Selektionstools", "Blendet die Selektionstools ein oder aus.", "", ""},
    {ID_VIEW_IMAGE_TOOLBAR, "Bildverarbeitungstools", "Blendet die Bildverarbeitungstools ein oder aus.", "", ""},
    {ID_VIEW_STATUS_BAR, "S&tatusleiste", "Blendet die Statusleiste ein oder aus.", "", ""},
    {ID_DOCK_TOOLBARS, "Toolbars andocken", "Dockt alle Symbolleisten in ihrer Startanordnung an.", "", ""},

    // Maps.
    {ID_MAP_0, "Map 0", "Map 0 anzeigen (kleinste Map).", "Map 0", "map0"},
    {ID_MAP_1, "Map 1", "Map 1 anzeigen.", "Map 1", "map1"},
    {ID_MAP_2, "Map 2", "Map 2 anzeigen.", "Map 2", "map2"},
    {ID_MAP_3, "Map 3", "Map 3 anzeigen.", "Map 3", "map3"},
    {ID_MAP_4, "Map 4", "Map 4 anzeigen.", "Map 4", "map4"},
    {ID_MAP_5, "Map 5", "Map 5 anzeigen.", "Map 5", "map5"},
    {ID_MAP_6, "Map 6", "Map 6 anzeigen.", "Map 6", "map6"},
    {ID_MAP_7, "Map 7", "Map 7 anzeigen.", "Map 7", "map7"},
    {ID_MAP_8, "Map 8", "Map 8 anzeigen.", "Map 8", "map8"},
    {ID_MAP_9, "Map 9", "Map 9 anzeigen.", "Map 9", "map9"},

    // View.
    {ID_ZOOM_IN, "Vergrößern", "Ansicht vergrößern.", "Zoom +", "zoomin"},
    {ID_ZOOM_OUT, "Verkleinern", "Ansicht verkleinern.", "Zoom -", "zoomout"},
    {ID_ZOOM_RESET, "Originalgröße", "Ansicht in Originalgröße.", "Zoom 1:1", "zoomreset"},
    {ID_ZOOM_FIT, "An Fenster anpassen", "Größter Zoom, bei dem das ganze Bild ins Fenster passt.",
     "An Fenster anpassen (Strg+9)", "zoomfit"},
    {ID_VIEW_SMOOTH, "Geglättet", "Bild geglättet anzeigen.", "Glätten", "smooth"},
    {ID_VIEW_RGB, "RGB", "Bild in RGB Farben ohne Transparenz anzeigen.", "RGB", "rgb"},
    {ID_VIEW_RGBA, "RGBA", "Bild mit Transparenz über dem Hintergrund anzeigen.", "RGBA", "rgba"},
    {ID_VIEW_ALPHA, "Alpha", "Alphakanal in Graustufen anzeigen.", "Alpha", "alpha"},

    // Selection and channels.
    {ID_SELECT_ALL, "Alles selektieren", "Alles selektieren.", "", "selectall"},
    {ID_SELECT_NONE, "Alles deselektieren", "Alles deselektieren.", "", "selectnone"},
    {ID_SELECTION_DIALOG, "Selektionsdialog anzeigen", "Selektionsdialog anzeigen.", "", "selectiondialog"},
    {ID_EXCLUDE_RED, "Rot ausschließen", "Rot ausschließen.", "", "exred"},
    {ID_EXCLUDE_GREEN, "Grün ausschließen", "Grün ausschließen.", "", "exgreen"},
    {ID_EXCLUDE_BLUE, "Blau ausschließen.", "Blau ausschließen.", "", "exblue"},
    {ID_ALL_CHANNELS, "Alle Kanäle aktivieren", "Alle Kanäle aktivieren.", "", "allchannels"},

    // Image processing.
    {ID_BRIGHTNESS, "Helligkeit", "Helligkeit einstellen.", "", "brightness"},
    {ID_CONTRAST, "Kontrast", "Kontrast einstellen.", "", "contrast"},
    {ID_GAMMA, "Gamma", "Gamma einstellen.", "", "gamma"},
    {ID_INVERT_COLOUR, "Farbe invertieren", "Farbe invertieren.", "", "invert"},
    {ID_INVERT_ALPHA, "Alpha-Kanal invertieren", "Alpha-Kanal invertieren.", "", "invertalpha"},
    {ID_CROP, "Freistellen", "Freistellen.", "", "crop"},
    {ID_RESIZE, "Größe ändern", "Größe ändern.", "", "resize"},
    {ID_SHARPEN, "Scharfzeichnen", "Scharfzeichnen.", "", "sharpen"},
    {ID_BLUR, "Weichzeichnen", "Weichzeichnen.", "", "blur"},
    {ID_BLUR_STRONG, "Stark weichzeichnen", "Stark weichzeichnen.", "", "blurstrong"},
    {ID_ALPHA_BLUR, "Alphakanal weichzeichnen", "Alphakanal weichzeichnen.", "", "alphablur"},
    {ID_ALPHA_BLUR_STRONG, "Alphakanal stark weichzeichnen.", "Alphakanal stark weichzeichnen.", "", "alphablurstrong"},
    {ID_ROTATE_CW, "Nach rechts kippen", "Nach rechts kippen.", "", "rotatecw"},
    {ID_ROTATE_CCW, "Nach links kippen", "Nach links kippen.", "", "rotateccw"},
    {ID_MIRROR_H, "Horizontal spiegeln", "Horizontal spiegeln.", "", "mirrorh"},
    {ID_MIRROR_V, "Vertikal spiegeln", "Vertikal spiegeln.", "", "mirrorv"},
    {ID_REMOVE_SMALL_MAPS, "Kleine Maps entfernen", "Kleine Maps entfernen.", "", "removemaps"},
    {ID_CREATE_ALPHA, "Alphakanal erzeugen", "Alphakanal erzeugen.", "", "createalpha"},
    {ID_REMOVE_ALPHA, "Alphakanal entfernen", "Alphakanal entfernen.", "", "removealpha"},
};

}  // namespace

const CommandText* commandTable(int& count)
{
    count = static_cast<int>(std::size(COMMANDS));
    return COMMANDS;
}

const CommandText* commandText(int id)
{
    for (const CommandText& c : COMMANDS)
        if (c.id == id)
            return &c;
    return nullptr;
}
