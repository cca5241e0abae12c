#pragma once

// Companion of each instrument object; its operations arrive with the
// measurement that uses it.
class EyeMask {};
