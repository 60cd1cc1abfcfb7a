// The values the physics layer trades with the engine: vectors, quaternions and poses, the flag
// and mode numbers, and the stream through which cooked meshes travel. Poses follow the SDK's
// column-vector convention: a point p of an actor goes to M p + t in the world.
//
// Flag numbers that stored files carry (the trigger bits of shape flags) keep their original
// values.
#pragma once

#include <cmath>
#include <cstdint>

namespace physx
{

constexpr uint32_t NX_PHYSICS_SDK_VERSION = 0x02080100; // 2.8.1
constexpr float NX_MAX_F32 = 3.402823466e+38f;
constexpr float NX_SLEEP_INTERVAL = 0.4f; // the wake-up counter a body gets when nothing says

struct Vec3
{
    float x = 0.0f, y = 0.0f, z = 0.0f;

    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    float dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec3 cross(const Vec3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
};

struct Quat
{
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

// A 3x3 matrix, m[row][column]; the identity by default.
struct Mat33
{
    float m[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

    Vec3 operator*(const Vec3& v) const
    {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
};

// A rigid pose: rotation M and translation t.
struct Mat34
{
    Mat33 M;
    Vec3 t;

    Vec3 operator*(const Vec3& v) const { return M * v + t; }
};

// A ray from orig along dir (dir need not be normalised).
struct Ray
{
    Vec3 orig;
    Vec3 dir;
};

// An oriented box: centre, half extents and rotation.
struct Box
{
    Vec3 center;
    Vec3 extents;
    Mat33 rot;
};

enum Parameter : uint32_t
{
    NX_CONTINUOUS_CD,       // non-zero: bodies whose shapes carry a CCD skeleton sweep their motion
    NX_CCD_EPSILON,         // kept for the engine; sweeps use the skeleton's radius
    NX_VISUALIZATION_SCALE, // non-zero: each fetch gathers the scene's debug lines
    NX_PARAMS_NUM_VALUES
};

enum HWVersion : uint32_t
{
    NX_HW_VERSION_NONE = 0
};

enum SDKCreateError : uint32_t
{
    NXCE_NO_ERROR = 0,
    NXCE_WRONG_VERSION = 2,
};

enum SimulationType : uint32_t
{
    NX_SIMULATION_SW = 0,
    NX_SIMULATION_HW = 1
};

enum TimeStepMethod : uint32_t
{
    NX_TIMESTEP_FIXED = 0,    // elapsed time is cut into whole steps, the rest carried over
    NX_TIMESTEP_VARIABLE = 1, // one step of the elapsed time
};

enum SimulationStatus : uint32_t
{
    NX_RIGID_BODY_FINISHED = 1
};

enum ShapesType : uint32_t
{
    NX_STATIC_SHAPES = 1,
    NX_DYNAMIC_SHAPES = 2,
    NX_ALL_SHAPES = 3
};

enum ShapeType : uint32_t
{
    NX_SHAPE_SPHERE,
    NX_SHAPE_BOX,
    NX_SHAPE_CAPSULE,
    NX_SHAPE_MESH
};

enum ForceMode : uint32_t
{
    NX_FORCE,                  // applied over the next simulate
    NX_IMPULSE,                // changes the momentum at once
    NX_VELOCITY_CHANGE,        // changes the velocity at once
    NX_SMOOTH_IMPULSE,         // spread evenly over the steps of the next simulate
    NX_SMOOTH_VELOCITY_CHANGE, // spread evenly over the steps of the next simulate
    NX_ACCELERATION,           // applied over the next simulate, whatever the mass
};

// Shape flags. A shape with trigger bits does not collide; it reports the shapes that overlap it.
enum ShapeFlag : uint32_t
{
    NX_TRIGGER_ON_ENTER = 1 << 0,
    NX_TRIGGER_ON_LEAVE = 1 << 1,
    NX_TRIGGER_ON_STAY = 1 << 2,
    NX_TRIGGER_ENABLE = NX_TRIGGER_ON_ENTER | NX_TRIGGER_ON_LEAVE | NX_TRIGGER_ON_STAY,
    NX_SF_VISUALIZATION = 1 << 3,
    NX_SF_DISABLE_RAYCASTING = 1 << 6,
    NX_SF_DYNAMIC_DYNAMIC_CCD = 1 << 13,
};

enum BodyFlag : uint32_t
{
    NX_BF_DISABLE_GRAVITY = 1 << 0,
    NX_BF_KINEMATIC = 1 << 7, // moved only by the move operations; pushes, is never pushed
};

enum ActorFlag : uint32_t
{
    NX_AF_DISABLE_COLLISION = 1 << 0, // touches nothing
    NX_AF_DISABLE_RESPONSE = 1 << 1,  // touches are reported, nothing is pushed
};

// Contact report events; each report carries exactly one.
enum ContactPairFlag : uint32_t
{
    NX_NOTIFY_ON_START_TOUCH = 1 << 1,
    NX_NOTIFY_ON_END_TOUCH = 1 << 2,
    NX_NOTIFY_ON_TOUCH = 1 << 3,
};

enum MeshFlags : uint32_t
{
    NX_MF_FLIPNORMALS = 1 << 0,
    NX_MF_16_BIT_INDICES = 1 << 1,
    NX_MF_HARDWARE_MESH = 1 << 2,
    NX_CLOTH_MESH_WELD_VERTICES = 1 << 9,
};

enum MeshPagingMode : uint32_t
{
    NX_MESH_PAGING_MANUAL = 0,
    NX_MESH_PAGING_FALLBACK = 1,
    NX_MESH_PAGING_AUTO = 2,
};

enum ClothFlag : uint32_t
{
    NX_CLF_PRESSURE = 1 << 0,
    NX_CLF_VISUALIZATION = 1 << 4,
    NX_CLF_GRAVITY = 1 << 5,
    NX_CLF_BENDING = 1 << 6,
    NX_CLF_DAMPING = 1 << 8,
};

enum ClothAttachmentFlag : uint32_t
{
    NX_CLOTH_ATTACHMENT_TWOWAY = 1 << 0, // the cloth also pulls the shapes it hangs on
};

enum MeshDataFlags : uint32_t
{
    NX_MDF_16_BIT_INDICES = 1 << 2,
};

enum MemoryType : uint32_t
{
    NX_MEMORY_PERSISTENT = 0,
};

// The SDK's byte stream, over which meshes are cooked and read back. Values are stored in their
// little-endian bytes. A stream that cannot carry out an operation (a read past its end, a store
// without room) says so through failed() from then on.
class Stream
{
public:
    virtual ~Stream() = default;

    virtual uint8_t readByte() = 0;
    virtual uint16_t readWord() = 0;
    virtual uint32_t readDword() = 0;
    virtual float readFloat() = 0;
    virtual double readDouble() = 0;
    virtual void readBuffer(void* buffer, uint32_t size) = 0;

    virtual Stream& storeByte(uint8_t value) = 0;
    virtual Stream& storeWord(uint16_t value) = 0;
    virtual Stream& storeDword(uint32_t value) = 0;
    virtual Stream& storeFloat(float value) = 0;
    virtual Stream& storeDouble(double value) = 0;
    virtual Stream& storeBuffer(const void* buffer, uint32_t size) = 0;

    virtual bool failed() const = 0;
};

// An entry point of one of the layer's libraries, found by name through win32::GetProcAddress.
struct LibraryExport
{
    const char* name;
    void* proc;
};

// Memory handed out by the SDK's allocator.
class UserAllocator
{
public:
    virtual ~UserAllocator() = default;
    virtual void* malloc(uint32_t size, MemoryType type) = 0;
    virtual void free(void* memory) = 0;
};

} // namespace physx
