// The message table, fatal_error and the console printing routines.
#include "asm/driver/diagnostics.h"

// ORDER MessageIndex
const std::array<std::string_view, MSG_COUNT> MessageTable = {
    "Normales Ende",
    "Unbekannter Opcode",
    "Unerlaubter Prefix",
    "Ungueltiger Operand fuer diesen Befehl",
    "Byte-Wert zu gross",
    "Word-Wert zu gross",
    "Zu grosser Sprungoffset",
    "Ungueltiges Segment",
    "mod-sib-Byte Fehler",
    "Ungueltige Adressierung",
    "Label nicht gefunden",
    "Kein Wert",
    "Ungueltiges Zeichen",
    "Ungueltige Klammer",
    "Ungueltiger Ausdruck",
    "Ungueltiges Byte-Register",
    "Ungueltiger Operand",
    "Ungueltiges Leerzeichen",
    "Punkt im Label",
    "Label doppelt definiert",
    "Zu viele Operanden",
    "Zu lange Eingabezeile",
    "Zu lange ASCII-Konstante",
    "Labelpuffer voll",
    "Pointer-Array fuer Label voll",
    "Ungueltige ASCII-Konstante",
    "Zu viele Klammern",
    "Felendes ENDIF",
    "Zu viele IF's",
    "Zu viele ELSE's",
    "Zu viele ENDIF's",
    "Quelltextdatei konnte nicht geoeffnet werden",
    "Listdatei konnte nicht geoeffnet werden",
    "COM-Datei konnte nicht geoeffnet werden",
    "Label in Pass 2 verschoben",
};

void fatal_error(Asm&, int32_t code, int32_t message) {
    throw AsmStop{code, message};
}

void print_string(Asm& a, std::string_view text) {
    a.io->write_console(text);
}

std::string decimal_text(int32_t value) {
    std::string out;
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        out.push_back('-');
        magnitude = 0u - magnitude;
    }
    uint32_t power = 1;
    while (magnitude / power >= 10) power *= 10;
    for (; power > 0; power /= 10) {
        out.push_back(static_cast<char>('0' + magnitude / power));
        magnitude %= power;
    }
    return out;
}

void print_decimal(Asm& a, int32_t value) {
    print_string(a, decimal_text(value));
}
