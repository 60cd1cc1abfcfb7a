-- Bad input for every member of every class: it must be a script error, and the engine goes on.

local function classTables()
  local classes = {}
  for key, value in pairs(_G) do
    local name = type(key) == 'string' and key:match('^____class__(.+)____$')
    if name and name ~= '__metatable' and type(value) == 'table' then classes[name] = value end
  end
  return classes
end

local function deletedObjects()
  local light = NewLight()
  local field = light.Location
  light:Delete()
  return light, field
end

-- One live object of each class (made anew on every call).
local function liveObjects()
  local scene = NewScene()
  local actor = NewActor(host.model, 0)
  scene:AddActor(actor)
  local camera = NewCamera()
  return {
    WeInput = input, WeTimer = timer, WeEngine = engine, WeCanvas = canvas, WeFontManager = fonts,
    WeTextureManager = textures, WeColor = NewColor(1, 1, 1, 1), WeVector = NewVector(1, 2, 3),
    WeVector4 = NewVector4(), WeQuaternion = NewQuat(0, 0, 0, 1), WeMatrix = NewMatrix(), WeCamera = camera,
    WeScene = scene, WeSceneConfig = scene.Config, WeActor = actor, WeParticleSystem = NewPS(),
    WeParticleSystemState = NewPSState(), WeLight = NewLight(), WeLightState = NewLightState(),
    WeTexture = textures:Load(host.texture), WeFont = fonts:Load(host.font),
  }
end

local deletedLight, deletedField = deletedObjects()
local function badSelves(class)
  local other = class == 'WeMatrix' and NewVector() or NewMatrix()
  return { nil, 0, 'text', {}, true, other, deletedLight, deletedField,
           setmetatable({ ____handle____ = rawget(input, '____handle____'),
                          ____class____ = _G['____class__' .. class .. '____'] }, getmetatable(input)) }
end

-- Methods that take nothing but the object.
local noArguments = { Tick = true, Update = true, FreeAll = true, BeginFixedLoading = true,
                      EndFixedLoading = true, SetupRenderDevice = true, Delete = true }

local checked = 0
local function mustFail(what, f, ...)
  local ok = pcall(f, ...)
  assert(not ok, what .. ' did not fail')
  checked = checked + 1
end

-- Integer members refuse what an int32 cannot hold.
for _, set in ipairs { function(v) liveObjects().WeLight.LightType = v end,
                       function(v) liveObjects().WeParticleSystem.RenderPass = v end } do
  mustFail('2^31', set, 2 ^ 31)
  mustFail('-2^31 - 1', set, -2 ^ 31 - 1)
  assert(pcall(set, -2 ^ 31))
end

for class, members in pairs(classTables()) do
  for key, f in pairs(members) do
    if type(f) == 'function' then
      local what = class .. '.' .. key
      local kind, name = key:match('^__(%a*)__(.+)__$')
      if kind == '' then kind, name = 'call', key:match('^__(.+)__$') end
      local selves = badSelves(class)
      for i = 1, 9 do mustFail(what .. ' with bad self ' .. i, f, selves[i], name, 1) end
      local object = liveObjects()[class]
      if kind == 'set' then
        if name ~= 'ParentActor' then -- nil there removes the parent
          mustFail(what .. ' = nil', f, object, name, nil)
          mustFail(what .. ' without a value', f, object, name)
        end
        mustFail(what .. ' = {}', f, object, name, {})
        if type(object[name]) == 'number' then
          mustFail(what .. ' = NaN', f, object, name, 0 / 0)
          mustFail(what .. ' = 1e300', f, object, name, 1e300)
          mustFail(what .. ' = -1e39', f, object, name, -1e39)
        end
      elseif kind == 'call' and not noArguments[name] then
        mustFail(what .. '()', f, object)
        mustFail(what .. '({})', f, object, {}, {}, {}, {})
      end
    end
  end
end

-- A seeded random driver: any member, any self, any arguments; only crashes would stop it.
math.randomseed(host.seed)
local pool = { nil, 0, -1, 1, 0.5, 256, 1e300, 0 / 0, 'text', '', true, {}, deletedLight, deletedField }
local classes = {}
for class, members in pairs(classTables()) do
  local list = {}
  for key, f in pairs(members) do if type(f) == 'function' then list[#list + 1] = { key, f } end end
  classes[#classes + 1] = { class, list }
end
table.sort(classes, function(a, b) return a[1] < b[1] end)
for _, entry in ipairs(classes) do table.sort(entry[2], function(a, b) return a[1] < b[1] end) end

local objects = liveObjects()
local function anyValue()
  if math.random(3) == 1 then
    local picked = classes[math.random(#classes)][1]
    return objects[picked]
  end
  return pool[math.random(#pool + 1)]
end
for call = 1, host.calls do
  if call % 500 == 0 then objects = liveObjects() end
  local entry = classes[math.random(#classes)]
  local member = entry[2][math.random(#entry[2])]
  local self = math.random(4) > 1 and objects[entry[1]] or anyValue()
  pcall(member[2], self, anyValue(), anyValue(), anyValue(), anyValue(), anyValue(), anyValue(), anyValue(),
        anyValue(), anyValue(), anyValue(), anyValue(), anyValue())
end
return checked
