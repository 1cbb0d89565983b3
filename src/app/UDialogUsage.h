// The dialog's "--help" text, which both platforms print before any window
// system is contacted.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The usage of `program` ("quillmark" or "quillmark.exe"; UTF-8): the call,
// what the dialog is, its options, then `platformNotes` (the snapshot mode
// and the working folder as the platform has them, ending in a line break).
inline std::string DialogUsage(std::string_view program, std::string_view platformNotes) {
    std::string text = "Aufruf: ";
    text += program;
    text += "\n       ";
    text += program;
    text += R"( --help | --version

Das Fenster, das Corvanta neben einem Adressdatensatz öffnet: es fragt den
Host, der es als sein Kind gestartet hat, über dessen Pipe nach der aktuellen
Adresse und zeigt sie als vCard-QR-Code. Es braucht keine Argumente; andere
als die folgenden werden nicht beachtet.

Optionen:
  --help       diese Hilfe ausgeben
  --version    Programmname und Version ausgeben

)";
    text += platformNotes;
    return text;
}

}  // namespace qm
