// StandInAddIn: one add-in of the stand-in, a workbook found in the add-ins folder, with the
// Installed switch that persists between runs, and Name, FullName and Path.
#pragma once

#include "tools/StandInDispatch.h"

class StandInAddIn final : public StandInDispatch {
public:
    // `name`: the file name without extension; `fullName`: the file's path.
    StandInAddIn(std::wstring name, std::wstring fullName);

protected:
    HRESULT Serve(DISPID id, Call& call) override;
    std::wstring JournalPrefix() const override { return name_ + L"."; }

private:
    ~StandInAddIn() override = default;
    std::wstring name_;
    std::wstring fullName_;
};
