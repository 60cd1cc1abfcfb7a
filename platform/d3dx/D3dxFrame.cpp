#include "d3dx/D3dxFrame.h"

#include <algorithm>
#include <cstring>

namespace d3dx
{

using d3d9::D3D_OK;
using d3d9::D3DERR_INVALIDCALL;

SkinInfo::SkinInfo(uint32_t vertexCount, std::vector<Bone> bones)
    : vertexCount(vertexCount), bones(std::move(bones))
{
}

uint32_t SkinInfo::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

const char* SkinInfo::GetBoneName(uint32_t bone) const
{
    return bone < bones.size() ? bones[bone].name.c_str() : nullptr;
}

const Matrix* SkinInfo::GetBoneOffsetMatrix(uint32_t bone) const
{
    return bone < bones.size() ? &bones[bone].offset : nullptr;
}

uint32_t SkinInfo::GetNumBoneInfluences(uint32_t bone) const
{
    return bone < bones.size() ? uint32_t(bones[bone].vertices.size()) : 0;
}

HRESULT SkinInfo::GetBoneInfluence(uint32_t bone, uint32_t* vertices, float* weights) const
{
    if (bone >= bones.size() || !vertices || !weights)
    {
        return D3DERR_INVALIDCALL;
    }
    std::copy(bones[bone].vertices.begin(), bones[bone].vertices.end(), vertices);
    std::copy(bones[bone].weights.begin(), bones[bone].weights.end(), weights);
    return D3D_OK;
}

HRESULT SkinInfo::Clone(SkinInfo** clone) const
{
    if (!clone)
    {
        return D3DERR_INVALIDCALL;
    }
    *clone = new SkinInfo(vertexCount, bones);
    return D3D_OK;
}

Frame* D3DXFrameFind(const Frame* root, const char* name)
{
    for (const Frame* frame = root; frame; frame = frame->frameSibling)
    {
        const bool same = name && frame->name ? std::strcmp(name, frame->name) == 0 : name == frame->name;
        if (same)
        {
            return const_cast<Frame*>(frame);
        }
        if (Frame* below = D3DXFrameFind(frame->frameFirstChild, name))
        {
            return below;
        }
    }
    return nullptr;
}

namespace
{

bool Animated(const AnimationController& controller, const char* name)
{
    for (uint32_t i = 0; i < controller.GetNumAnimationSets(); ++i)
    {
        if (controller.GetAnimationSet(i)->FindAnimation(name) >= 0)
        {
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT D3DXFrameRegisterNamedMatrices(Frame* root, AnimationController* controller)
{
    if (!controller)
    {
        return D3DERR_INVALIDCALL;
    }
    for (Frame* frame = root; frame; frame = frame->frameSibling)
    {
        if (frame->name && Animated(*controller, frame->name))
        {
            const HRESULT result =
                controller->RegisterAnimationOutput(frame->name, &frame->transformationMatrix);
            if (d3d9::Failed(result))
            {
                return result;
            }
        }
        const HRESULT below = D3DXFrameRegisterNamedMatrices(frame->frameFirstChild, controller);
        if (d3d9::Failed(below))
        {
            return below;
        }
    }
    return D3D_OK;
}

} // namespace d3dx
