-- The script interface as a script sees it, on a started engine. `host` holds what the engine
-- under test has: names of shipped assets and functions that read native objects directly.

local function fails(f, ...)
  local ok = pcall(f, ...)
  return not ok
end

-- Every property of every class: read, and where it has a setter, written back with what was
-- read, which leaves the object as it was.
local function touchProperties(objects)
  for class, object in pairs(objects) do
    local members = _G['____class__' .. class .. '____']
    for key in pairs(members) do
      local name = type(key) == 'string' and key:match('^__get__(.+)__$')
      if name then
        local value = object[name]
        if members['__set__' .. name .. '__'] then
          object[name] = value
        end
      end
    end
  end
end

-- Value types and constant globals
local v = NewVector(1, 2, 3)
assert(v.x == 1 and v.y == 2 and v.z == 3)
v.x = 0.1
assert(v.x == host.float32(0.1) and v.x ~= 0.1, 'stored as a 32-bit float')
local v4 = NewVector4(1, 2, 3)
v4.w = 5
assert(v4.x + v4.y + v4.z + v4.w == 11)
local color = NewColor(0.25, 0.5, 0.75)
assert(color.a == 0)
color.a = 0.5
assert(color.r == 0.25 and color.g == 0.5 and color.b == 0.75 and color.a == 0.5)
local q = NewQuat(0, 0, 0, 1)
for _, k in ipairs { 'x', 'y', 'z', 'w' } do assert(q[k] == NullQuat[k]) end
local partial = NewQuat(2)
assert(partial.x == 2 and partial.y == 0 and partial.w == 0, 'a missing argument reads 0')
local m = NewMatrix()
for row = 1, 4 do
  for col = 1, 4 do
    local k = '_' .. row .. col
    assert(m[k] == 0, 'a new matrix is all zero')
    m[k] = row * 10 + col
    assert(IdentityMatrix[k] == (row == col and 1 or 0))
  end
end
assert(m._34 == 34 and m._43 == 43)
assert(NullColor.r == 0 and NullColor.a == 0 and NullVector.y == 0)
assert(VectorX0.x == 1 and VectorY0.y == 1 and VectorZ0.z == 1 and VectorX0.y == 0)
NullVector.x = 7
assert(host.nullVectorX() == 7, 'globals are the program\'s own objects')
NullVector.x = 0
assert(TEXT_TOP == 0 and TEXT_LEFT == 0 and TEXT_CENTER + TEXT_VCENTER == 5)
assert(select('#', log('any', 1, {}, nil, input)) == 0)

-- Core objects
assert(input.MouseX == host.mouseX and input:KeyPressed(0) == false and input:MouseClicked(7) == false)
input.MouseX = 99
assert(rawget(input, 'MouseX') == 99 and host.mouseX == host.inputMouseX(), 'a plain field of the object')
input.MouseX = nil
assert(timer.DeltaTime >= 0)
engine:BeginFixedLoading()
engine:EndFixedLoading()

-- Textures and fonts; a lookup that finds nothing is nil
local texture = textures:Load(host.texture)
assert(texture.Width == host.textureWidth and texture.Height == host.textureHeight and texture.Name ~= '')
assert(textures:Load('Config.Assets.NoSuchTexture') == nil)
assert(textures.White.Name ~= '' and textures.Black.Width > 0)
local font = fonts:Load(host.font)
assert(font.Size == host.fontSize and font.Name ~= '')

-- Camera: fields refer into the camera, setters rebuild
local camera = NewCamera()
camera.Location.x = 5
assert(host.cameraX(camera) == 5)
camera.Location = NewVector(1, 2, 3)
assert(camera.Location.z == 3)
local projection = host.projection11(camera)
camera.Fov = 1.2
assert(camera.Fov == host.float32(1.2) and host.projection11(camera) ~= projection)
camera:SetOrthoSize(30, 40)
assert(camera.OrthoW == 30 and camera.OrthoH == 40)
camera.NearClip = 2
camera.FarClip = 500
assert(camera.NearClip == 2 and camera.FarClip == 500)
camera:Update()
assert(camera.ZAxis.z == 1 and camera.XAxis.x == 1)

-- Scene, actors, lights and particle systems
local scene = NewScene()
assert(scene:Load(host.map))
local config = scene.Config
config.FogStart = 12
config.AmbientColor.r = 0.25
assert(config.FogStart == 12 and scene.Config.AmbientColor.r == 0.25 and config.FHDRI1 >= 0)
assert(scene:FindActor('no such actor') == nil)

local actor = NewActor(host.model, 0)
assert(actor.Type == ACTOR_MESH and actor.ParentActor == nil)
actor.Name = 'scripted'
actor.Location = NewVector(1, 2, 3)
assert(actor.AbsLocation.y == 2 and actor.XAxis.x == 1)
scene:AddActor(actor)
local found = scene:FindActor('scripted')
assert(found.Location.z == 3)

local light = NewLight()
local ps = NewPS()
assert(light.Type == ACTOR_LIGHT and ps.Type == ACTOR_PS)
light.Name = 'lamp'
assert(light.Name == 'lamp' and light.Location.x == 0, 'a light answers to actor members')
ps.ParentActor = actor
assert(ps.ParentActor.Name == 'scripted' and ps.AbsLocation.x == 1)
assert(fails(function() actor.ParentActor = ps end), 'a parent loop is refused')
assert(ps:LoadPresset('Ingame.Particles.none') == false)
assert(ps:LoadPresset(host.preset) and ps.Name == host.preset)
local state = NewPSState()
state.EmitterSize.y = 4
state.ColorTo = NewColor(1, 0, 0, 1)
assert(state.EmitterSize.y == 4 and state.ColorTo.g == 0)

local key = NewLightState()
key.Intensity = 2
key.Diffuse.g = 0.5
light:AddLightState(key)
light:RemoveLightState(key)
assert(host.lightStates(light) == 1, 'the light keeps its own copy')
assert(light:Load('Ingame.Lights.none') == false)
scene:AddActor(light)
scene:AddActor(ps)
light.Range = 5000
scene:Tick()
assert(light.Range == 1000)

touchProperties {
  WeInput = input, WeTimer = timer, WeColor = color, WeVector = v, WeVector4 = v4, WeQuaternion = q,
  WeMatrix = m, WeCamera = camera, WeSceneConfig = config, WeScene = scene, WeActor = actor,
  WeParticleSystem = ps, WeParticleSystemState = state, WeLight = light, WeLightState = key,
  WeTexture = texture, WeTextureManager = textures, WeFont = font,
}
scene:Render(camera)
assert(fails(function() engine:FreeAll() end), 'resources stay while scenes use them')

-- Deleting: every table of the object fails, fields included; the scene stays consistent
local lamp = scene:FindActor('lamp')
local lampLocation = light.Location
light:Delete()
assert(fails(function() return lamp.Name end) and fails(function() return lampLocation.x end))
assert(fails(function() light:Delete() end) and scene:FindActor('lamp') == nil)
scene:Tick()
scene:Delete()
assert(fails(function() return found.Name end) and fails(function() return config.FogStart end))
assert(fails(function() return ps.Name end))
assert(ps.____handle____ ~= nil, 'another table of a deleted object keeps its handle yet fails')
state:Delete()
key:Delete()
camera:Delete()
assert(fails(function() camera:Update() end))
engine:FreeAll()
assert(fails(function() return texture.Width end), 'freed resources fail')
