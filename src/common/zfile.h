#pragma once

// Sweeps old temporary files (*.ZMP) of the maker's shared temporary folder: at most four per sweep, those
// written more than about eight minutes from now. The destructor sweeps once more.
class TZFile {
public:
    ~TZFile();
    void SweepTempFiles() const;
};

TZFile* GetZFile();
void FreeZFile();
