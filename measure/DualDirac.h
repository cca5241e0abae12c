#pragma once

// Dual-Dirac fitter of one bathtub curve.
class DualDirac {};
