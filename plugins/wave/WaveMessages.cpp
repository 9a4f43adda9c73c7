#include <array>

#include "WaveResults.h"

namespace wave {
namespace {

constexpr std::array<const char*, kHighestResult + 1> kEnglish = {
    "No Error.",
    "The file is protected and cannot be opened.",
    "The file is invalid.",
    "The network is not responding to the request to open a remote file.",
    "The directory specification is incorrect.",
    "The file is being used by another application and is unavailable.",
    "The number of files simultaneously open is at a maximum level. The system has run out of available file handles.",
    "The dialog for displaying information about the file format library cannot be displayed.",
    "The specified file doesn't seem to be a valid WAVE file. The 'WAVE' chunk is missing.",
    "The specified file doesn't seem to be a valid WAVE file. The 'fmt' chunk is missing.",
    "The specified file doesn't seem to be a valid WAVE file. The format information is smaller than 16 bytes and therefore it is invalid.",
    "Memory for the format information cannot be allocated.",
    "A general error has occured while trying to read from the file.",
    "Format information cannot be read from the file. The end of the file has been reached while reading.",
    "The specified file doesn't seem to be a valid WAVE file. The end of the 'fmt' chunk cannot be found.",
    "The specified file doesn't seem to be a valid WAVE file. The 'data' chunk is missing.",
    "An unknown error has occured while trying to open the file.",
    "One of the functions of the file format library has been called with invalid parameters.",
    "An error has occured while trying to reposition to the start of the WAVE file.",
    "An error has occured while trying to read audio data from the WAVE file.",
    "Format information cannot be written to the specified WAVE file.",
    "Access to local memory via thread local storage is not possible.",
    "An error has occured while trying to prepare the WAVE file for writing audio data.",
    "An error has occured while trying to write audio data into the WAVE file.",
    "The end of the audio data cannot be written to the WAVE file.",
    "The end of the WAVE file cannot be written.",
};

constexpr std::array<const char*, kHighestResult + 1> kGerman = {
    "Kein Fehler.",
    "Die Datei ist geschützt und kann nicht geöffnet werden.",
    "Die Datei ist ungültig.",
    "Das Netzwerk reagiert nicht auf die Anfrage die Datei zu öffnen.",
    "Das Verzeichnis ist ungültig.",
    "Die Datei wird von einer anderen Anwendung verwendet und ist daher nicht verfügbar.",
    "Die Anzahl der Dateien, die gleichzeitig geöffnet werden können, hat den Maximalwert erreicht. Das System hat keine weiteren Datei-Handles zur Verfügung.",
    "Der Dialog mit Informationen über die File Format Library kann nicht angezeigt.",
    "Die angegebene Datei scheint keine gültige WAVE-Datei zu sein. Der 'WAVE'-Chunk fehlt.",
    "Die angegebene Datei scheint keine gültige WAVE-Datei zu sein. Der 'fmt'-Chunk fehlt.",
    "Die angegebene Datei scheint keine gültige WAVE-Datei zu sein. Die Format-Informationen in der Datei sind kleiner 16 Bytes und somit ungültig.",
    "Speicher für die Format-Informationen konnte nicht allokiert werden.",
    "Ein allgemeiner Fehler ist beim Lesen der Datei aufgetreten.",
    "Die Format-Informationen konnten nicht gelesen werden. Das Dateiende wurde während dem Lesen erreicht.",
    "Die angegebene Datei scheint keine gültige WAVE-Datei zu sein. Das Ende des 'fmt'-Chunk konnte nicht gefunden werden.",
    "Die angegebene Datei scheint keine gültige WAVE-Datei zu sein. Der 'data'-Chunk fehlt.",
    "Ein unbekannter Fehler ist aufgetreten beim Versuch die Datei zu öffnen.",
    "Eine der Funktionen der File Format Library wurde mit ungültigen Parametern aufgerufen.",
    "Ein Fehler ist aufgetreten als versucht wurde, zum Anfang der WAVE-Datei zu positionieren.",
    "Ein Fehler ist aufgetreten beim Versuch Audio-Daten aus der WAVE-Datei zu lesen.",
    "Die Format-Informationen können nicht in die WAVE-Datei geschrieben werden.",
    "Der Zugriff auf lokalen Speicher über den Thread Local Storage-Mechanismus ist nicht möglich.",
    "Ein Fehler ist aufgetreten während versucht wurde, die WAVE-Datei für das Schreiben der Audio-Daten vorzubereiten.",
    "Ein Fehler ist aufgetreten beim Versuch Audio-Daten in die WAVE-Datei zu schreiben.",
    "Das Ende der Audio-Daten kann nicht in die WAVE-Datei geschrieben werden.",
    "Das Ende der WAVE-Datei kann nicht geschrieben werden.",
};

} // namespace

const audff::MessageTable& WaveMessages()
{
    static constexpr audff::MessageTable table{kEnglish, kGerman};
    return table;
}

} // namespace wave
