#pragma once

#include <QString>

#include <iosfwd>

namespace vesk {

// The pairing state the console shows for the current tenant.
struct PairingStatus {
    enum class Kind { paired, notPaired, serialUnknown, tenantHasNoSecret, needsReentry, revoked };

    Kind kind = Kind::notPaired;
    QString preview; // for paired: the first characters of the stored code

    static PairingStatus paired(QString preview) { return {Kind::paired, std::move(preview)}; }
    static PairingStatus of(Kind kind) { return {kind, {}}; }

    // The status line.
    QString headline() const;
    // The text under the headline: for paired, the stored preview; empty for the others.
    QString detail() const;
    // The label of the code field shown with the paste prompt; empty otherwise.
    QString fieldLabel() const;
    // The button beside the status: "Unpair", "Check Again", or none.
    QString actionTitle() const;

    friend bool operator==(const PairingStatus &, const PairingStatus &) = default;
};

std::ostream &operator<<(std::ostream &out, const PairingStatus &status);

} // namespace vesk
