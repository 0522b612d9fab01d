#pragma once

#include <QString>

#include <array>
#include <optional>

// The text stored in place of a field that the operator left empty.
inline const QString kEmptyMark = QStringLiteral("*****");

// The thirteen fields of table "ficha", in column order.
enum class Field {
    ntarjeta,
    nsocio,
    nombre,
    apellidos,
    calle,
    cp,
    ciudad,
    telefono,
    email,
    fnacimiento,
    observaciones,
    puntos,
    fcaducidad,
};

inline constexpr std::size_t kFieldCount = 13;

// The column name of a field, as stored in the file.
const char* fieldName(Field field);

// All fields in column order.
const std::array<Field, kFieldCount>& allFields();

// One row of "ficha" exactly as stored, in column order: a field without a value (NULL) holds none.
using StoredFields = std::array<std::optional<QString>, kFieldCount>;

// One row of "ficha": every field is text.
struct MemberRecord
{
    QString ntarjeta;      // card number
    QString nsocio;        // member number
    QString nombre;        // first name
    QString apellidos;     // surname(s)
    QString calle;         // street and house number
    QString cp;            // postcode
    QString ciudad;        // town
    QString telefono;      // telephone
    QString email;         // e-mail address
    QString fnacimiento;   // birth date, dd/mm/yyyy
    QString observaciones; // notes
    QString puntos;        // points balance, the text of a number
    QString fcaducidad;    // card expiry, mm/yyyy

    QString& operator[](Field field);
    const QString& operator[](Field field) const;

    bool operator==(const MemberRecord&) const = default;
};
