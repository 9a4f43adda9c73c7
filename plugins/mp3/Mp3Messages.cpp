#include <array>

#include "Mp3Results.h"

namespace mp3 {
namespace {

constexpr std::array<const char*, kHighestResult + 1> kEnglish = {
    "No Error.",
    "The file is protected and cannot be opened.",
    "The file is invalid.",
    "One of the functions of the file format library has been called with invalid parameters.",
    "The file cannot be found or the directory specification is invalid.",
    "The file is being used by another application and is unavailable.",
    "The number of files simultaneously open is at a maximum level. The system has run out of available file handles.",
    "The dialog for displaying information about the file format library cannot be displayed.",
    "The audio format of the MP3 file is not supported.",
    "An error has occured while trying to write audio data into the MP3 file.",
    "An error has occured while trying to read audio data from the MP3 file.",
    "Memory for the format information cannot be allocated.",
    "A general error has occured while trying to read from the file.",
    "Format information cannot be read from the file. The end of the file has been reached while reading.",
    "An error has occured while trying to reposition to the start or end of the MP3 file.",
    "The length of the audio data cannot be determined.",
    "An unknown error has occured while trying to open the file.",
};

constexpr std::array<const char*, kHighestResult + 1> kGerman = {
    "Kein Fehler.",
    "Die Datei ist geschützt und kann nicht geöffnet werden.",
    "Die Datei ist ungültig.",
    "Eine der Funktionen der File Format Library wurde mit ungültigen Parametern aufgerufen.",
    "Die Datei konnte nicht gefunden werden order das Verzeichnis ist ungültig.",
    "Die Datei wird von einer anderen Anwendung verwendet und ist daher nicht verfügbar.",
    "Die Anzahl der Dateien, die gleichzeitig geöffnet werden können, hat den Maximalwert erreicht. Das System hat keine weiteren Datei-Handles zur Verfügung.",
    "Der Dialog mit Informationen über die File Format Library kann nicht angezeigt.",
    "Das Format der MP3-Datei wird nicht unterstützt.",
    "Ein Fehler ist aufgetreten beim Versuch Audio-Daten in die MP3-Datei zu schreiben.",
    "Ein Fehler ist aufgetreten beim Versuch Audio-Daten aus der MP3-Datei zu lesen.",
    "Speicher für die Format-Informationen konnte nicht allokiert werden.",
    "Ein allgemeiner Fehler ist beim Lesen der Datei aufgetreten.",
    "Die Format-Informationen konnten nicht gelesen werden. Das Dateiende wurde während dem Lesen erreicht.",
    "Ein Fehler ist aufgetreten als versucht wurde, zum Anfang oder zum Ende der MP3-Datei zu positionieren.",
    "Die Länge der Audio-Daten kann nicht ermittelt werden.",
    "Ein unbekannter Fehler ist aufgetreten beim Versuch die Datei zu öffnen.",
};

} // namespace

const audff::MessageTable& Mp3Messages()
{
    static constexpr audff::MessageTable table{kEnglish, kGerman};
    return table;
}

} // namespace mp3
