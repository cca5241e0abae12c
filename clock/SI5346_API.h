#pragma once

// Si5346 clock-chip frequency planner of each instrument object.
class SI5346_API {};
