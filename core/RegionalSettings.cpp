#include "core/RegionalSettings.h"

namespace VORLIN {

namespace {

const RegionalSettings& defaults() {
    static const RegionalSettings instance;
    return instance;
}

const RegionalSettings* installed = nullptr;

}  // namespace

RegionalSettings::RegionalSettings()
    : shortMonths{"0",   "Ene", "Feb", "Mar", "Abr", "May", "Jun",
                  "Jul", "Ago", "Sep", "Oct", "Nov", "Dic"},
      longMonths{"",      "Enero",  "Febrero",    "Marzo",   "Abril",     "Mayo",     "Junio",
                 "Julio", "Agosto", "Septiembre", "Octubre", "Noviembre", "Diciembre"},
      longDays{"Domingo", "Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado"},
      shortDays{"Dom", "Lun", "Mar", "Mie", "Jue", "Vie", "Sab"},
      currencySymbol("$"),
      decimalSeparator("."),
      thousandsSeparator(","),
      currencyName("PESO"),
      currencySuffix("M.N."),
      dateFormats{"%D/%o/%Y", "%D/%O/%Y", "%D de %o", "%D de %O"},
      folderCaptions{"Escritorio", "Mis Documentos", "Mi PC", "Mis Sitios de red", "Mis Imagenes"},
      overwriteQuestion("¿Desea sobreescribir el archivo?"),
      openCaption("Abrir"),
      saveCaption("Guardar") {}

const String& RegionalSettings::monthName(int month, bool shortName) const {
    static const String none;
    if (month < 0 || month > 12) return none;
    return shortName ? shortMonths[size_t(month)] : longMonths[size_t(month)];
}

const RegionalSettings& RegionalSettings::current() noexcept {
    return installed ? *installed : defaults();
}

void RegionalSettings::install(const RegionalSettings* settings) noexcept {
    installed = settings;
}

}  // namespace VORLIN
