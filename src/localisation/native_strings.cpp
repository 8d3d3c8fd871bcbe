// Built-in Spanish texts of every string id. These texts are also the keys of the language
// database, so they are kept character for character: doubled blanks, trailing blanks, missing
// accents and the CR (and CR LF) line breaks all belong to the keys.
#include "localisation/Strings.h"

namespace nbx {

namespace {

const char16_t* nativeText(long id)
{
    switch (id) {
    case 1: return u"Idioma";
    case 2: return u"N. Serie:";
    case 3: return u"Versión:";
    case 4: return u"Fecha:";
    case 5: return u"Contacto:";
    case 6: return u"Local:";
    case 7: return u"Dirección:";
    case 8: return u"Población:";
    case 9: return u"Teléfono:";
    case 10: return u"Tiempo de Leq:";
    case 11: return u"Impresión continua";
    case 12: return u"Leq1'max";
    case 13: return u"Leq1'min";
    case 14: return u"LFmax";
    case 15: return u"Conectar el PC al NBX-70 y pulsar Aceptar";
    case 16: return u"Fecha";
    case 17: return u"Hora";
    case 18: return u"Fecha incorrecta";
    case 19: return u"Hora incorrecta";
    case 20: return u"Buscar en el campo";
    case 21: return u"PIE DE PÁGINA DEL INFORME";
    case 22: return u"Texto para el pie de página (máximo 50 carácteres): ";
    case 23: return u"¿Desea guardar los cambios?";
    case 24: return u"Fecha empieza intervalo mayor o igual que  fecha termina intervalo.";
    case 25: return u"Hora empieza noche incorrecta.";
    case 26: return u"Hora termina noche incorrecta.";
    case 27: return u"¿Desea borrar todos los datos relacionados con esta ficha?";
    case 28: return u"No hay ningún NBX-70 en la base de datos.";
    case 29: return u"No existe en la base de datos un NBX-70 con número de serie:";
    case 30: return u"El aparato conectado  no corresponde a un NBX-70.";
    case 31: return u"Error en la transmisión de datos. Compruebe la conexión y que el ratón no esté instalado en el mismo puerto. Vuelva a intentarlo.";
    case 32: return u"BUSCAR";
    case 33: return u"Conectar el módem a la línea telefónica y pulsar Aceptar.";
    case 34: return u"El NBX-70 seleccionado no tiene asignado un número de teléfono.";
    case 35: return u"Error en la conexión telefónica. Compruebe el módem y que la línea esté libre.";
    case 36: return u"Límite";
    case 37: return u"Error\rimpresora";
    case 38: return u"Conexión\rRS-232";
    case 39: return u"Desconexiones\rde red";
    case 40: return u"Sensor\rinactivo";
    case 41: return u"LeqT\rT(min)";
    case 42: return u"LeqSesión\rdBA";
    case 43: return u"Inicio\rnoche";
    case 44: return u"Final\rnoche";
    case 45: return u"Atenuación\rs";
    case 46: return u"Pasadas (emisión)\rT(s)";
    case 47: return u"Pasadas (recepción)\rT(s)";
    case 48: return u"Límite LeqT(emisión)\rdBA";
    case 49: return u"Límite LeqT(recepción)\rdBA";
    case 50: return u"Desc.:";
    case 51: return u"Pas.emi.:";
    case 52: return u"Pas.recep.:";
    case 53: return u"Sens.:";
    case 54: return u"Pas.LFmax:";
    case 55: return u"LeqT(emisión)";
    case 56: return u"LeqT(emisión)\rdBA";
    case 57: return u"LeqT(recepción)\rdBA";
    case 58: return u"LeqT(recepción)";
    case 59: return u"No hay datos";
    case 60: return u"El límite es incorrecto";
    case 61: return u"Transmisión realizada correctamente";
    case 62: return u"Error en la transmisión de datos";
    case 63: return u"El NBX-70 conectado no corresponde a la ficha actual.";
    case 64: return u"El NBX-70 no está en modo programación.";
    case 65: return u"Tipo de actuación(emisión):";
    case 66: return u"Tipo de actuación(recepción):";
    case 67: return u"Tipo de actuación\r(emisión)";
    case 68: return u"Sí";
    case 69: return u"No";
    case 70: return u"Lunes";
    case 71: return u"Martes";
    case 72: return u"Miércoles";
    case 73: return u"Jueves";
    case 74: return u"Viernes";
    case 75: return u"Sábado";
    case 76: return u"Domingo";
    case 77: return u"Límite LFmax:";
    case 78: return u"Empieza horario noche:";
    case 79: return u"Termina horario noche:";
    case 80: case 132: return u"Tiempo atenuación";
    case 81: return u"Intervalos inhábiles diferentes:";
    case 82: return u"¿Desea reemplazar la programación existente por la recibida?";
    case 83: return u"Sesión lunes:";
    case 84: return u"Sesión martes:";
    case 85: return u"Sesión miércoles:";
    case 86: return u"Sesión jueves:";
    case 87: return u"Sesión viernes:";
    case 88: return u"Sesión sábado:";
    case 89: return u"Sesión domingo:";
    case 90: return u"Cambio de hora:";
    case 91: return u"Error con lunes";
    case 92: return u"Error con martes";
    case 93: return u"Error con miercoles";
    case 94: return u"Error con jueves";
    case 95: return u"Error con viernes";
    case 96: return u"Error con sábado";
    case 97: return u"Inicio igual a final";
    case 98: case 128: return u"Día";
    case 99: case 129: return u"Noche";
    case 100: return u"Sesión";
    case 101: return u"Tipo de actuación\r(recepción)";
    case 102: return u"Límite día(emisión)";
    case 103: return u"Límite día(recepción)";
    case 104: return u"Límite noche(emisión)";
    case 105: return u"Límite noche(recepción)";
    case 106: return u"Valor incorrecto";
    case 107: case 111: return u"No ha introducido ninguna contraseña";
    case 108: return u"Contraseña:";
    case 109: return u"No se ha introducido nueva contraseña";
    case 112: return u"Nueva contraseña:";
    case 113: return u"Confirmar contraseña:";
    case 114: return u"No coincide";
    case 115: return u"Parametro de correlacion grabado";
    case 116: return u"Error nivel de linea insuficiente";
    case 117: return u"Error en la calibracion";
    case 118: return u"Error nivel de sensor insuficiente";
    case 119: return u"Contraseña incorrecta";
    case 120: return u"Linea insuf.:";
    case 121: return u"D.N.A.:";
    case 122: return u"E.N.A.:";
    case 123: return u"Sin calibrar";
    case 124: return u"¿Desea colgar el teléfono?";
    case 125: return u"Normativa";
    case 126: return u"Límite (emisión)";
    case 127: return u"Límite (recepción)";
    case 130: return u"Horarios sesion";
    case 131: return u"Aislamiento acústico";
    case 133: return u"Actuación (emisión):";
    case 134: return u"Actuación (recepción):";
    case 135: return u"CMI";
    case 136: return u"ÚLTIMOS CONTADORES TOTALES:";
    case 137: return u"Pasadas (emisión)";
    case 138: return u"Pasadas (recepción)";
    case 139: return u"Sensor inactivo:";
    case 140: return u"Borrados:";
    case 141: return u"REPROGRAMACIONES";
    case 142: return u"BORRADOS";
    case 143: return u"INTERVALOS INHABILES";
    case 144: return u"NOTAS:";
    case 145: return u"Rings antes de que el modem decuelgue:";
    case 146: return u"REGISTROS Leq";
    case 147: return u"(emisión)";
    case 148: return u"(recepción)";
    case 149: return u"Pasadas";
    case 150: return u"Reprogramación";
    case 151: return u"Línea insuficiente";
    case 152: return u"E.N.A. min";
    case 153: return u"Desconexiones";
    case 154: return u"D.N.A. min";
    case 155: return u"No actúa";
    case 156: return u"REGISTROS Sesión";
    case 157: return u"Formato incorrecto";
    case 158: return u"Importar datos";
    case 159: return u"Velocidad módem:";
    case 160: return u"Incompatibilidad con la configuración regional del Panel de Control (fecha).\rVerifique que tiene el formato de fecha corta como dd/MM/yy.";
    case 161: return u"Octava 31.5Hz: ";
    case 162: return u"Octava 63Hz: ";
    case 163: return u"Octava 125Hz: ";
    case 164: return u"Octava 250Hz: ";
    case 165: return u"Octava 500Hz: ";
    case 166: return u"Octava 1kHz: ";
    case 167: return u"Octava 2kHz: ";
    case 168: return u"Octava 4kHz: ";
    case 169: return u"Octava 8kHz: ";
    case 170: return u"Rings: ";
    case 171: return u"Incompatibilidad con la configuración regional del Panel de Control (número).\rVerifique que tiene la coma como símbolo decimal y el punto como símbolo separador de miles.";
    case 172: return u"Enero";
    case 173: return u"Febrero";
    case 174: return u"Marzo";
    case 175: return u"Abril";
    case 176: return u"Mayo";
    case 177: return u"Junio";
    case 178: return u"Julio";
    case 179: return u"Agosto";
    case 180: return u"Septiembre";
    case 181: return u"Octubre";
    case 182: return u"Noviembre";
    case 183: return u"Diciembre";
    case 184: return u"Lun";
    case 185: return u"Mar";
    case 186: return u"Mie";
    case 187: return u"Jue";
    case 188: return u"Vie";
    case 189: return u"Sab";
    case 190: return u"Dom";
    case 191: return u"ATENCIÓN!: El sistema tiene configurada la opción de \"fuentes grandes\".\r\nDebe escoger la opción \"fuentes pequeñas\" dentro de \"Propiedades de Pantalla\".\r\nVer el manual de instalación en el CD.";
    case 192: return u"Error importanfo datos";
    default: return nullptr; // 110 and every id outside 1..192
    }
}

} // namespace

QString GetNativeString(long id, const QString& prefix)
{
    if (const char16_t* text = nativeText(id))
        return QString::fromUtf16(text);
    return prefix + QString::number(id);
}

bool HasNativeString(long id)
{
    return nativeText(id) != nullptr;
}

} // namespace nbx
