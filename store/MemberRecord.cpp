#include "store/MemberRecord.h"

namespace {

constexpr std::array<const char*, kFieldCount> kNames = {
    "ntarjeta", "nsocio", "nombre",      "apellidos",     "calle",  "cp",         "ciudad",
    "telefono", "email",  "fnacimiento", "observaciones", "puntos", "fcaducidad",
};

constexpr std::array<QString MemberRecord::*, kFieldCount> kMembers = {
    &MemberRecord::ntarjeta,   &MemberRecord::nsocio,      &MemberRecord::nombre,        &MemberRecord::apellidos,
    &MemberRecord::calle,      &MemberRecord::cp,          &MemberRecord::ciudad,        &MemberRecord::telefono,
    &MemberRecord::email,      &MemberRecord::fnacimiento, &MemberRecord::observaciones, &MemberRecord::puntos,
    &MemberRecord::fcaducidad,
};

} // namespace

const char* fieldName(Field field)
{
    return kNames[std::size_t(field)];
}

const std::array<Field, kFieldCount>& allFields()
{
    static const std::array<Field, kFieldCount> fields = [] {
        std::array<Field, kFieldCount> all{};
        for (std::size_t i = 0; i < kFieldCount; ++i)
            all[i] = Field(i);
        return all;
    }();
    return fields;
}

QString& MemberRecord::operator[](Field field)
{
    return this->*kMembers[std::size_t(field)];
}

const QString& MemberRecord::operator[](Field field) const
{
    return this->*kMembers[std::size_t(field)];
}
