// StandInApplication: the application object of the spreadsheet automation stand-in:
// AddIns(name), Path, Quit and Name, all through IDispatch.
#pragma once

#include "tools/StandInDispatch.h"

class StandInApplication final : public StandInDispatch {
public:
    StandInApplication();

protected:
    HRESULT Serve(DISPID id, Call& call) override;
    std::wstring JournalPrefix() const override { return {}; }

private:
    ~StandInApplication() override;
    HRESULT AddIns(Call& call);
};
